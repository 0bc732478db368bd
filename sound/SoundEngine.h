#pragma once

#include "AudioLayer.h"
#include "ToneSelection.h"

#include <QString>
#include <array>
#include <cstdint>
#include <memory>
#include <stdexcept>

namespace vemba {

// Raised by the device and buffer creation: what failed and why, in the
// user's language (for a file: its path and the reason).
class SoundError : public std::runtime_error {
public:
    // Device: no output could be opened; Buffer: a tone file could not be loaded.
    enum class Kind { Device, Buffer };

    SoundError(Kind kind, const QString& message)
        : std::runtime_error(message.toStdString()), m_kind(kind), m_message(message) {}
    Kind kind() const { return m_kind; }
    const QString& message() const { return m_message; }

private:
    Kind m_kind;
    QString m_message;
};

inline constexpr std::int32_t VolumeFloor = -6000;

// The audio objects of the main window and the operations on them. Channels
// are numbered 1 to 3.
class SoundEngine {
public:
    SoundEngine(audio::AudioLayer& layer, const ToneSelection& selection, QString programDir);
    ~SoundEngine();
    SoundEngine(const SoundEngine&) = delete;
    SoundEngine& operator=(const SoundEngine&) = delete;

    // Opens a new device for the default output; throws SoundError.
    void InitSoundDevice();
    // Loads the channel's selected tone file into a new buffer; throws SoundError.
    void LoadChannelBuffer(int channel);
    // Plays the channel's buffer looping at the slider's volume; failures are ignored.
    void PlayChannel(int channel);
    // Stops the channel's buffer and rewinds it; failures are ignored.
    void StopChannel(int channel);
    // Sets the channel's buffer's volume; failures are ignored.
    void setChannelVolume(int channel, std::int32_t volume);

    static std::int32_t VolumeFromSlider(int position);

    // Read-only views for the owner and tests.
    const audio::SoundDevice* device() const { return m_device.get(); }
    const audio::SoundBuffer* buffer(int channel) const;

private:
    std::unique_ptr<audio::SoundBuffer>* slot(int channel);
    // The channel's buffer, or null when it has none (or no such channel).
    audio::SoundBuffer* loaded(int channel) const;

    audio::AudioLayer& m_layer;
    const ToneSelection& m_selection;
    QString m_programDir;

    // Declared in the order they are created; buffers go before the device.
    std::unique_ptr<audio::AudioRoot> m_root;
    std::unique_ptr<audio::SoundDevice> m_device;
    std::array<std::unique_ptr<audio::SoundBuffer>, 3> m_buffers;
    audio::BufferDescription m_description;
    audio::WaveFormat m_format;
};

} // namespace vemba
