#include "SdlStream.h"

#include "Mixer.h"

#include <QString>
#include <SDL.h>

namespace vemba::audio {

namespace {

QString sdlError() {
    return QString::fromUtf8(SDL_GetError());
}

} // namespace

SdlAudioSystem::~SdlAudioSystem() {
    if (m_up) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

Result SdlAudioSystem::start() {
    if (m_up) {
        return Result::success();
    }
    // The name the sound server shows for the program; SDL's backends take
    // it when they connect. (SDL 2 has no hint for the icon, and a stream
    // role it always sets, "Game" when not told otherwise.)
    SDL_SetHint(SDL_HINT_APP_NAME, "ヴェンバPC");
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "ヴェンバPC");
    // SIGINT and SIGTERM are the program's to handle: SDL's handlers would
    // only queue an event nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return Result::failure(sdlError());
    }
    m_up = true;
    return Result::success();
}

Result SdlAudioSystem::restart() {
    if (m_up) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_up = false;
    }
    return start();
}

SdlStream::SdlStream(std::shared_ptr<SdlAudioSystem> system, RenderFunction render, void* renderer)
    : m_system(std::move(system)), m_render(render), m_renderer(renderer) {}

SdlStream::~SdlStream() {
    if (m_device != 0) {
        const std::lock_guard<std::mutex> hold(m_system->lock());
        SDL_CloseAudioDevice(m_device); // waits for the callback to return
        m_system->streamClosed();
    }
}

void SdlStream::callback(void* userdata, Uint8* stream, int len) {
    auto* self = static_cast<SdlStream*>(userdata);
    self->m_render(self->m_renderer, reinterpret_cast<float*>(stream),
                   len / static_cast<int>(2 * sizeof(float)));
    self->m_callbacks.fetch_add(1, std::memory_order_relaxed);
}

Result SdlStream::open(std::shared_ptr<SdlAudioSystem> system, RenderFunction render,
                       void* renderer, const QString& title,
                       std::unique_ptr<OutputStream>& stream) {
    std::unique_ptr<SdlStream> self(new SdlStream(std::move(system), render, renderer));
    SDL_AudioSpec want{};
    want.freq = Mixer::kSampleRate;
    // Float is what the mixer renders and what PipeWire mixes in.
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kPeriodFrames;
    want.callback = &SdlStream::callback;
    want.userdata = self.get();

    const QByteArray name = streamName(title).toUtf8();
    const auto openDevice = [&] {
        // Read as the device opens; the hints are SDL's, hence the lock.
        SDL_SetHint(SDL_HINT_AUDIO_DEVICE_STREAM_NAME, name.constData());
        SDL_AudioSpec have{};
        return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    };
    SdlAudioSystem& sdl = *self->m_system;
    const std::lock_guard<std::mutex> hold(sdl.lock());
    Result started = sdl.start();
    if (started) {
        self->m_device = openDevice();
    }
    // SDL keeps one connection to the sound server; once the server has gone
    // away, only a fresh start of the subsystem finds it again.
    if (self->m_device == 0 && sdl.openStreams() == 0) {
        started = sdl.restart();
        if (started) {
            self->m_device = openDevice();
        }
    }
    if (self->m_device == 0) {
        return Result::failure(started ? sdlError() : started.reason());
    }
    sdl.streamOpened();
    self->m_callbacksSeen = self->m_callbacks.load(std::memory_order_relaxed);
    stream = std::move(self);
    return Result::success();
}

void SdlStream::start() {
    SDL_PauseAudioDevice(m_device, 0);
    m_running = true;
}

// PulseAudio's backend marks a dropped stream stopped; PipeWire's, as SDL's
// source reads, leaves it playing and calls back no more: two whole seconds
// without a callback while running is a stream gone too.
bool SdlStream::gone() {
    if (SDL_GetAudioDeviceStatus(m_device) == SDL_AUDIO_STOPPED) {
        return true;
    }
    const std::uint64_t calls = m_callbacks.load(std::memory_order_relaxed);
    m_stalledChecks = m_running && calls == m_callbacksSeen ? m_stalledChecks + 1 : 0;
    m_callbacksSeen = calls;
    return m_stalledChecks >= 2;
}

// The block being rendered and the one queued at the server.
int SdlStream::queuedMs() const {
    return 2 * 1000 * kPeriodFrames / Mixer::kSampleRate;
}

namespace {

// What the program gets from the module: streams on one audio subsystem,
// quit when the last of them and this are gone.
class SdlAudioOutput : public SdlOutput {
public:
    Result open(RenderFunction render, void* renderer, const QString& title,
                std::unique_ptr<OutputStream>& stream) override {
        return SdlStream::open(m_system, render, renderer, title, stream);
    }

private:
    std::shared_ptr<SdlAudioSystem> m_system = std::make_shared<SdlAudioSystem>();
};

} // namespace

} // namespace vemba::audio

extern "C" __attribute__((visibility("default"))) vemba::audio::SdlOutput*
vemba_sdl_output_create() {
    return new vemba::audio::SdlAudioOutput;
}
