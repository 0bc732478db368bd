#include "OutputCore.h"

#include <QCoreApplication>
#include <QTimer>

namespace vemba::audio {

namespace {

// Long enough for a ramp to end and the render thread to report it.
constexpr int kHousekeepingMs = 150;

} // namespace

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

OutputCore::OutputCore(StreamOpener opener, std::shared_ptr<FailureReporter> reporter)
    : m_opener(std::move(opener)), m_reporter(std::move(reporter)) {}

OutputCore::~OutputCore() {
    closeStream();
}

Status OutputCore::openStream() {
    if (m_stream) {
        return Status::success();
    }
    if (const Status opened = m_opener(m_mixer, m_stream); !opened) {
        m_stream.reset();
        // The library's reason is English; it follows in brackets for
        // whoever looks deeper.
        return Status::failure(QStringLiteral("音声出力デバイスを開けません。サウンドサーバー"
                                              "が動いているか確かめてください (%1)。")
                                   .arg(opened.reason()));
    }
    m_running = false;
    if (QCoreApplication::instance() != nullptr) {
        later(kWatchMs, &OutputCore::m_watchScheduled, &OutputCore::watch);
    }
    return Status::success();
}

void OutputCore::closeStream() {
    m_stream.reset(); // waits for the render thread to let go of the mixer
    m_running = false;
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
    m_quietFor.invalidate();
    if (m_stream && !m_running && m_mixer.anyPlaying()) {
        m_stream->start();
        m_running = true;
    } else if (m_stream && m_running) {
        m_stream->changed();
    }
    tidy();
}

void OutputCore::shutDown() {
    m_dead = true;
    m_mixer.silenceForever();
    changed();
}

void OutputCore::housekeeping() {
    if (m_stream && !m_mixer.anyPlaying() && (!m_running || quietThrough())) {
        // A stream left running idle would keep its thread waking: close it.
        closeStream();
    }
    tidy();
}

bool OutputCore::quietThrough() {
    if (!m_mixer.settled()) {
        m_quietFor.invalidate();
        return false;
    }
    if (!m_quietFor.isValid()) {
        m_quietFor.start();
    }
    return m_quietFor.elapsed() >= m_stream->queuedMs();
}

void OutputCore::tidy() {
    if (!m_stream) {
        m_mixer.settleWithoutOutput();
    }
    m_mixer.reclaim();
    if ((m_stream && !m_mixer.anyPlaying()) || m_mixer.hasPendingRelease()) {
        scheduleHousekeeping();
    }
}

void OutputCore::watch() {
    if (m_stream && m_stream->gone()) {
        closeStream();
        // Only a stream something plays on is worth having back.
        m_lost = !m_dead && m_mixer.anyPlaying();
        m_lostFor.start();
        tidy();
    }
    if (m_lost) {
        reconnect();
    }
    if (m_stream || m_lost) {
        later(kWatchMs, &OutputCore::m_watchScheduled, &OutputCore::watch);
    }
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
