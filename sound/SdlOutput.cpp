#include "SdlOutput.h"

#include <QCoreApplication>
#include <QTimer>
#include <SDL.h>
#include <atomic>

namespace vemba::audio {

namespace {

// Long enough for the last ramp to end and the callback to report it.
constexpr int kHousekeepingMs = 1000 * Mixer::kRampFrames / Mixer::kSampleRate +
                                2 * 1000 * OutputCore::kPeriodFrames / Mixer::kSampleRate + 5;

std::atomic<OutputTap> g_tap{nullptr};

QString sdlError() {
    return QString::fromUtf8(SDL_GetError());
}

} // namespace

void setOutputTap(OutputTap tap) {
    g_tap.store(tap, std::memory_order_release);
}

void FailureReporter::setListener(std::function<void(const QString&)> listener) {
    m_listener = std::move(listener);
}

void FailureReporter::failed(const QString& message) {
    if (m_reported) {
        return;
    }
    m_reported = true;
    if (m_listener) {
        m_listener(message);
    }
}

SdlAudioSystem::~SdlAudioSystem() {
    if (m_up) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
    }
}

Status SdlAudioSystem::start() {
    if (m_up) {
        return Status::success();
    }
    SDL_SetHint(SDL_HINT_AUDIO_DEVICE_APP_NAME, "ヴェンバPC");
    if (SDL_InitSubSystem(SDL_INIT_AUDIO) != 0) {
        return Status::failure(sdlError());
    }
    m_up = true;
    return Status::success();
}

Status SdlAudioSystem::restart() {
    if (m_up) {
        SDL_QuitSubSystem(SDL_INIT_AUDIO);
        m_up = false;
    }
    return start();
}

OutputCore::OutputCore(std::shared_ptr<SdlAudioSystem> system,
                       std::shared_ptr<FailureReporter> reporter)
    : m_system(std::move(system)), m_reporter(std::move(reporter)) {}

OutputCore::~OutputCore() {
    closeStream();
}

void OutputCore::callback(void* userdata, Uint8* stream, int len) {
    auto* out = reinterpret_cast<float*>(stream);
    const int frames = len / static_cast<int>(2 * sizeof(float));
    static_cast<Mixer*>(userdata)->render(out, frames);
    if (const OutputTap tap = g_tap.load(std::memory_order_acquire)) {
        tap(out, frames);
    }
}

Status OutputCore::openStream() {
    if (m_device != 0) {
        return Status::success();
    }
    SDL_AudioSpec want{};
    want.freq = Mixer::kSampleRate;
    // Float is what the mixer renders and what PipeWire and float sinks mix
    // in, so nobody converts. The driver stays SDL's choice: its PipeWire
    // driver where PipeWire serves the desktop, else PulseAudio.
    want.format = AUDIO_F32SYS;
    want.channels = 2;
    want.samples = kPeriodFrames;
    want.callback = &OutputCore::callback;
    want.userdata = &m_mixer;

    const auto open = [&] {
        SDL_AudioSpec have{};
        return SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    };
    Status started = m_system->start();
    if (started) {
        m_device = open();
    }
    // SDL keeps one connection to the sound server; once the server has gone
    // away, only a fresh start of the subsystem finds it again.
    if (m_device == 0 && m_system->openStreams() == 0) {
        started = m_system->restart();
        if (started) {
            m_device = open();
        }
    }
    if (m_device == 0) {
        const QString reason = started ? sdlError() : started.reason();
        // SDL's reason is English; it follows in brackets for whoever looks deeper.
        return Status::failure(QStringLiteral("音声出力デバイスを開けません。サウンドサーバー"
                                              "が動いているか確かめてください (%1)。")
                                   .arg(reason));
    }
    m_system->streamOpened();
    m_running = false;
    return Status::success();
}

void OutputCore::closeStream() {
    if (m_device == 0) {
        return;
    }
    SDL_CloseAudioDevice(m_device); // waits for the callback to return
    m_device = 0;
    m_running = false;
    m_system->streamClosed();
}

void OutputCore::changed() {
    if (QCoreApplication::instance() == nullptr) {
        flush();
        return;
    }
    later(0, &OutputCore::m_flushScheduled, &OutputCore::flush);
}

void OutputCore::scheduleHousekeeping() {
    if (QCoreApplication::instance() != nullptr) {
        later(kHousekeepingMs, &OutputCore::m_housekeepingScheduled, &OutputCore::housekeeping);
    }
}

void OutputCore::later(int ms, bool OutputCore::*scheduled, void (OutputCore::*work)()) {
    if (this->*scheduled) {
        return;
    }
    this->*scheduled = true;
    QTimer::singleShot(ms, [weak = weak_from_this(), scheduled, work] {
        if (auto self = weak.lock()) {
            (*self).*scheduled = false;
            ((*self).*work)();
        }
    });
}

void OutputCore::flush() {
    m_mixer.commit();
    if (m_device != 0 && !m_running && m_mixer.anyPlaying()) {
        SDL_PauseAudioDevice(m_device, 0);
        m_running = true;
    }
    tidy();
}

void OutputCore::shutDown() {
    m_dead = true;
    m_mixer.silenceForever();
    changed();
}

void OutputCore::housekeeping() {
    if (m_device != 0 && !m_mixer.anyPlaying() && (!m_running || m_mixer.settled())) {
        // SDL keeps a paused stream's thread running: close it instead.
        closeStream();
    }
    tidy();
}

void OutputCore::tidy() {
    if (m_device == 0) {
        m_mixer.settleWithoutOutput();
    }
    m_mixer.reclaim();
    if ((m_device != 0 && !m_mixer.anyPlaying()) || m_mixer.hasPendingRelease()) {
        scheduleHousekeeping();
    }
}

} // namespace vemba::audio
