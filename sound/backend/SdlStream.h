#pragma once

#include "Mixer.h"
#include "OutputStream.h"
#include "SdlOutput.h"

#include <SDL_audio.h>
#include <atomic>
#include <cstdint>
#include <memory>
#include <mutex>

namespace vemba::audio {

// SDL's audio subsystem, shared by every stream opened on it; quit when the
// last owner goes.
class SdlAudioSystem {
public:
    ~SdlAudioSystem();
    Result start();
    // Quits and starts the subsystem again, so that a sound server that went
    // away and came back is found; only while no stream is open.
    Result restart();
    int openStreams() const { return m_openStreams; }
    void streamOpened() { ++m_openStreams; }
    void streamClosed() { --m_openStreams; }
    // Streams open on a thread of their own and close on the window's.
    std::mutex& lock() { return m_lock; }

private:
    std::mutex m_lock;
    bool m_up = false;
    int m_openStreams = 0;
};

// A stream through SDL, on whichever backend it picks (SDL_AUDIODRIVER
// overrides): where no PulseAudio server answers, such as PipeWire alone.
class SdlStream : public OutputStream {
public:
    // Frames per callback: 3072 at 48000 Hz is 64 ms. A click waits for the
    // next callback and then behind the one block SDL queues at the server,
    // so it is heard within two periods.
    static constexpr int kPeriodFrames = 3072;
    // The mixer's two read heads suffice only so.
    static_assert(kPeriodFrames >= Mixer::kRampFrames, "a restart's tail must end within a block");

    static Result open(std::shared_ptr<SdlAudioSystem> system, RenderFunction render,
                       void* renderer, const QString& title, std::unique_ptr<OutputStream>& stream);
    ~SdlStream() override;

    void start() override;
    void changed() override {}
    bool gone() override;
    int queuedMs() const override;
    int heardWithinMs() const override { return queuedMs(); }

private:
    SdlStream(std::shared_ptr<SdlAudioSystem> system, RenderFunction render, void* renderer);
    static void callback(void* userdata, Uint8* stream, int len);

    std::shared_ptr<SdlAudioSystem> m_system;
    RenderFunction m_render;
    void* m_renderer;
    SDL_AudioDeviceID m_device = 0;
    bool m_running = false;
    // Callbacks so far; the only thing the callback writes besides the output.
    std::atomic<std::uint64_t> m_callbacks{0};
    std::uint64_t m_callbacksSeen = 0;
    int m_stalledChecks = 0;
};

} // namespace vemba::audio
