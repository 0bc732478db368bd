#pragma once

// Helpers for tests that listen to what was played: the test PulseAudio
// server, a recorder of its null sink, and FFT measurements of a tone.

#include <QProcess>
#include <QString>
#include <cstddef>
#include <functional>
#include <vector>

namespace vemba::probe {

inline constexpr int kRate = 48000;

// Stops or starts the sound server a test plays to: the fixture script in
// VEMBA_SOUND_FIXTURE on the directory in VEMBA_SOUND_DIR. False when it fails.
bool soundServer(const char* command);

// Whether the open stream goes the way SDL_AUDIODRIVER asks: "pulseaudio" is
// the program's own stream on the server (SDL's audio is not even up), any
// other is SDL's audio on that driver and not another it fell back to; a
// reason when it is not.
bool onRequestedDriver(QString* error);

// Records the monitor of the null sink that the fixtures load (server in
// PULSE_SERVER, PulseAudio's or pipewire-pulse) with parec as float stereo at 48000 Hz. Keep it
// running while something plays: a null sink that nobody records may not pace its clients.
class SinkRecorder {
public:
    SinkRecorder() = default;
    ~SinkRecorder();
    SinkRecorder(const SinkRecorder&) = delete;
    SinkRecorder& operator=(const SinkRecorder&) = delete;

    // Starts parec and waits for its first data; false with a reason otherwise.
    bool start(QString* error);
    void stop();
    // Keeps the Qt event loop turning (the audio layer commits and closes
    // through it) until `frames` more frames have been recorded, or until
    // `limitMs` has passed; false in the latter case.
    bool recordFrames(std::size_t frames, int limitMs = 20000);
    // The same for `ms` of wall time, whatever arrived: after the event loop
    // was held up, the frames that arrive first are old ones.
    bool recordFor(int ms);
    std::size_t frames() const { return m_samples.size() / 2; }
    // One channel (0 left, 1 right) of the last `frames` frames.
    std::vector<float> last(std::size_t frames, int ch = 0) const;
    // The largest magnitude on either side in the last `frames` frames.
    float peakOfLast(std::size_t frames) const;
    // Interleaved stereo, everything recorded so far.
    const std::vector<float>& samples() const { return m_samples; }

private:
    void take();
    // Turns the event loop and takes what parec sent until `done` or
    // `limitMs`; false once parec has ended.
    bool pump(int limitMs, const std::function<bool()>& done);

    QProcess m_process;
    QByteArray m_pending;
    std::vector<float> m_samples;
};

// One channel (0 left, 1 right) of interleaved stereo, frames [from, from + count).
std::vector<float> channel(const std::vector<float>& stereo, int ch, std::size_t from,
                           std::size_t count);

// The amplitude of `frequency` in `mono`, in dB re full scale: one bin of a
// Hann-windowed DFT, so that neighbouring tones do not leak in.
double levelAt(const std::vector<float>& mono, double frequency, int rate = kRate);

struct Tone {
    double frequency = 0.0;  // Hz, to the nearest FFT bin
    double levelDb = -300.0; // peak amplitude of that component, dB re full scale
};

// The strongest component (above DC) of a Hann-windowed FFT of `mono`.
Tone dominantTone(const std::vector<float>& mono, int rate = kRate);

} // namespace vemba::probe
