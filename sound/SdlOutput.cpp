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

void FailureReporter::setListener(Listener listener) {
    m_listener = std::move(listener);
}

void FailureReporter::setLostListener(Listener listener) {
    m_lostListener = std::move(listener);
}

void FailureReporter::lost(const QString& message) {
    m_reported = true;
    if (m_lostListener) {
        m_lostListener(message);
    }
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
    // SIGINT and SIGTERM are the program's to handle: SDL's handlers would
    // only queue an event nobody reads.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
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
    auto* core = static_cast<OutputCore*>(userdata);
    core->m_mixer.render(out, frames);
    core->m_callbacks.fetch_add(1, std::memory_order_relaxed);
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
    want.userdata = this;

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
    m_callbacksSeen = m_callbacks.load(std::memory_order_relaxed);
    m_stalledChecks = 0;
    if (QCoreApplication::instance() != nullptr) {
        later(kWatchMs, &OutputCore::m_watchScheduled, &OutputCore::watch);
    }
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

void OutputCore::watch() {
    if (m_device != 0 && streamGone()) {
        closeStream();
        // Only a stream something plays on is worth having back.
        m_lost = !m_dead && m_mixer.anyPlaying();
        m_lostFor.start();
        tidy();
    }
    if (m_lost) {
        reconnect();
    }
    if (m_device != 0 || m_lost) {
        later(kWatchMs, &OutputCore::m_watchScheduled, &OutputCore::watch);
    }
}

// PulseAudio's backend marks a dropped stream stopped (and keeps calling back
// at the stream's pace); PipeWire's, as SDL's source reads, leaves it playing and
// calls back no more: two whole seconds without a callback while running is a
// stream gone too.
bool OutputCore::streamGone() {
    if (SDL_GetAudioDeviceStatus(m_device) == SDL_AUDIO_STOPPED) {
        return true;
    }
    const std::uint64_t calls = m_callbacks.load(std::memory_order_relaxed);
    m_stalledChecks = m_running && calls == m_callbacksSeen ? m_stalledChecks + 1 : 0;
    m_callbacksSeen = calls;
    return m_stalledChecks >= 2;
}

void OutputCore::reconnect() {
    if (m_dead || !m_mixer.anyPlaying()) {
        m_lost = false; // stopped meanwhile: the next Play opens a stream
        return;
    }
    const Status opened = openStream();
    if (opened) {
        m_lost = false;
        m_reporter->recovered();
        flush(); // resumes where the voices stood
        return;
    }
    if (m_lostFor.elapsed() >= kGiveUpMs) {
        m_lost = false;
        m_reporter->lost(
            QStringLiteral("再生中に音声出力が失われ、%1 秒待っても戻りませんでした。\n%2")
                .arg(kGiveUpMs / 1000)
                .arg(opened.reason()));
    }
}

} // namespace vemba::audio
