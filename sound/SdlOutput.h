#pragma once

#include "AudioLayer.h"
#include "Mixer.h"

#include <QElapsedTimer>
#include <QString>
#include <SDL_audio.h>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>

namespace vemba::audio {

// Sees every block the mixer hands to an output stream, on the audio thread,
// for measurements; it must keep the real-time rules itself. Null: none.
using OutputTap = void (*)(const float* interleaved, int frames);
void setOutputTap(OutputTap tap);

// Tells the user about a stream that would not open again, once per run of
// failures, and about a playing stream lost for good.
class FailureReporter {
public:
    using Listener = std::function<void(const QString&)>;
    void setListener(Listener listener);
    void setLostListener(Listener listener);
    void failed(const QString& message);
    void recovered() { m_reported = false; }
    void lost(const QString& message);

private:
    Listener m_listener;
    Listener m_lostListener;
    bool m_reported = false;
};

// SDL's audio subsystem, shared by the root object and every open device;
// quit when the last of them goes.
class SdlAudioSystem {
public:
    ~SdlAudioSystem();
    Status start();
    // Quits and starts the subsystem again, so that a sound server that went
    // away and came back is found; only while no stream is open.
    Status restart();
    // Streams open on the subsystem, as OutputCore counts them.
    int openStreams() const { return m_openStreams; }
    void streamOpened() { ++m_openStreams; }
    void streamClosed() { --m_openStreams; }

private:
    bool m_up = false;
    int m_openStreams = 0;
};

// One output device: its mixer and its SDL stream. Shared by the device
// object and its buffers, so that buffers outlive a replaced device harmlessly.
class OutputCore : public std::enable_shared_from_this<OutputCore> {
public:
    // Frames per callback: 3072 at 48000 Hz is 64 ms. Each callback wakes us
    // and makes the sound server take and mix a block, so a longer period
    // costs both less: 1024 frames cost the server twice as much. But a click
    // waits for the next callback and then behind the one block queued at
    // the server (SDL asks for one period), so it is heard one to two periods
    // later: within 128 ms here, where 4096 frames would take up to 170 ms.
    static constexpr int kPeriodFrames = 3072;
    // The mixer's two read heads suffice only so.
    static_assert(kPeriodFrames >= Mixer::kRampFrames, "a restart's tail must end within a block");

    OutputCore(std::shared_ptr<SdlAudioSystem> system, std::shared_ptr<FailureReporter> reporter);
    ~OutputCore();

    // A stream lost while playing is looked for again every second this long
    // before the user is told.
    static constexpr int kWatchMs = 1000;
    static constexpr int kGiveUpMs = 10000;

    Status openStream();
    bool streamOpen() const { return m_device != 0; }
    // The stream went away while playing and is being reopened: the voices
    // keep their state meanwhile.
    bool lost() const { return m_lost; }
    bool dead() const { return m_dead; }
    Mixer& mixer() { return m_mixer; }

    // Something was staged on the mixer: commit it at the end of this event.
    void changed();
    // The device object is gone: fade everything out and close.
    void shutDown();
    // Checks again after the ramps whether the stream can close.
    void scheduleHousekeeping();

    std::shared_ptr<FailureReporter> reporter() const { return m_reporter; }

private:
    static void callback(void* userdata, Uint8* stream, int len);
    // Runs `work` once, `ms` from now on the GUI thread, unless it is
    // already due (`scheduled`); never after the core is gone.
    void later(int ms, bool OutputCore::*scheduled, void (OutputCore::*work)());
    void flush();
    void housekeeping();
    // Settles the mixer while no stream runs, frees what it let go of, and
    // looks again later while a stream idles open or a release is pending.
    void tidy();
    void closeStream();
    // Once a second while a stream is open or lost: notices a stream the
    // server dropped and opens it again.
    void watch();
    bool streamGone();
    void reconnect();

    std::shared_ptr<SdlAudioSystem> m_system;
    std::shared_ptr<FailureReporter> m_reporter;
    Mixer m_mixer;
    SDL_AudioDeviceID m_device = 0;
    bool m_running = false;
    bool m_dead = false;
    bool m_flushScheduled = false;
    bool m_housekeepingScheduled = false;
    bool m_watchScheduled = false;
    // Callbacks so far; the only thing the callback writes besides the output.
    std::atomic<std::uint64_t> m_callbacks{0};
    std::uint64_t m_callbacksSeen = 0;
    int m_stalledChecks = 0;
    bool m_lost = false;
    QElapsedTimer m_lostFor;
};

} // namespace vemba::audio
