#pragma once

#include "Result.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>

namespace vemba::audio {

using WindowHandle = std::uintptr_t;

// Capability flags a buffer is created with.
inline constexpr std::int32_t DSBCAPS_STATIC = 0x0002;
inline constexpr std::int32_t DSBCAPS_CTRLFREQUENCY = 0x0020;
inline constexpr std::int32_t DSBCAPS_CTRLPAN = 0x0040;
inline constexpr std::int32_t DSBCAPS_CTRLVOLUME = 0x0080;
inline constexpr std::int32_t DSBCAPS_STICKYFOCUS = 0x4000;

inline constexpr std::int32_t DSSCL_NORMAL = 1;
inline constexpr std::int32_t DSBPLAY_LOOPING = 1;

// What a buffer is created with: its capability flags (DSBCAPS_*); a size of
// 0 takes the whole sound of the file.
struct BufferDescription {
    std::int32_t flags = 0;
    std::int32_t bufferBytes = 0;
    std::int32_t reserved = 0;
};

// The sample format asked of a buffer created from a file.
struct WaveFormat {
    std::int16_t formatTag = 0;
    std::int16_t channels = 0;
    std::int32_t samplesPerSec = 0;
    std::int32_t avgBytesPerSec = 0;
    std::int16_t blockAlign = 0;
    std::int16_t bitsPerSample = 0;
    std::int16_t extraSize = 0;
    std::int32_t extra = 0;
};

// A sound held whole in memory, stopped at its start when created.
// Destroying it silences it.
class SoundBuffer {
public:
    virtual ~SoundBuffer() = default;
    virtual Result play(std::int32_t flags) = 0;
    // Attenuation in hundredths of a decibel, -10000 to 0.
    virtual Result setVolume(std::int32_t volume) = 0;
    virtual Result stop() = 0;
    virtual Result setCurrentPosition(std::int32_t position) = 0;
};

// An output device. Destroying it silences every buffer made on it; such
// buffers still take calls without harm and never sound again.
class SoundDevice {
public:
    virtual ~SoundDevice() = default;
    virtual Result setCooperativeLevel(WindowHandle window, std::int32_t level) = 0;
    virtual Result createSoundBufferFromFile(const QString& path,
                                             const BufferDescription& description,
                                             const WaveFormat& format,
                                             std::unique_ptr<SoundBuffer>& buffer) = 0;
};

// The root object that opens devices. An empty device identifier means the
// default output.
class AudioRoot {
public:
    virtual ~AudioRoot() = default;
    virtual Result directSoundCreate(const QString& deviceId,
                                     std::unique_ptr<SoundDevice>& device) = 0;
};

// Entry point of an audio layer: creates the root object.
class AudioLayer {
public:
    using Listener = std::function<void(const QString&)>;

    virtual ~AudioLayer() = default;
    virtual Result createRoot(std::unique_ptr<AudioRoot>& root) = 0;

    // Told once when Play could not open the stream again (Play's own result
    // is ignored by its callers), and again only after a reopen has worked.
    // A layer whose Play cannot fail that way tells nobody.
    virtual void setFailureListener(Listener /*listener*/) {}
    // Told once when a stream that played was lost and could not be opened
    // again within ten seconds; until then it is reopened every second.
    virtual void setStreamLostListener(Listener /*listener*/) {}
    // What plays, as the window names it, for the sound server's volume
    // mixer to show on the output stream; kept for streams opened later.
    virtual void setStreamTitle(const QString& /*title*/) {}
};

} // namespace vemba::audio
