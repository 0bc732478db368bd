#include "OutputCore.h"

#include <QCoreApplication>
#include <QTimer>
#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <future>
#include <mutex>
#include <optional>
#include <thread>

namespace vemba::audio {

namespace {

// Long enough for a ramp to end and the render thread to report it.
constexpr int kHousekeepingMs = 150;
// How often the window looks for the answer of a slow sound server.
constexpr int kPollMs = 20;

// One thread opens every stream, one try after another, and lives as long as
// the process: the sound libraries keep state for each thread that calls
// them (SDL frees it only for threads it started itself), so a thread of its
// own for every try would leave some behind each time.
class Opener {
public:
    static Opener& instance() {
        static Opener* const opener = new Opener; // never ends before the process
        return *opener;
    }
    void post(std::function<void()> task) {
        {
            const std::lock_guard<std::mutex> hold(m_lock);
            m_tasks.push_back(std::move(task));
        }
        m_wake.notify_one();
    }

private:
    Opener() {
        std::thread([this] { run(); }).detach();
    }
    [[noreturn]] void run() {
        for (;;) {
            std::function<void()> task;
            {
                std::unique_lock<std::mutex> hold(m_lock);
                m_wake.wait(hold, [this] { return !m_tasks.empty(); });
                task = std::move(m_tasks.front());
                m_tasks.pop_front();
            }
            task();
        }
    }

    std::mutex m_lock;
    std::condition_variable m_wake;
    std::deque<std::function<void()>> m_tasks;
};

} // namespace

void FailureReporter::setListener(Listener listener) {
    m_listener = std::move(listener);
}

void FailureReporter::setLostListener(Listener listener) {
    m_lostListener = std::move(listener);
}

void FailureReporter::lost(const QString& message) {
    // The switch goes back to OFF with it: the next failure comes from a new
    // ON and is told again.
    m_reported = false;
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

struct OutputCore::Opening {
    std::mutex lock;
    std::condition_variable finished;
    bool done = false;
    std::optional<Result> status;
    std::unique_ptr<OutputStream> stream;
};

CoreClock CoreClock::steady() {
    return {[] {
                return qint64(std::chrono::duration_cast<std::chrono::milliseconds>(
                                  std::chrono::steady_clock::now().time_since_epoch())
                                  .count());
            },
            [](int ms, std::function<void()> work) { QTimer::singleShot(ms, std::move(work)); },
            OutputCore::kAnswerMs};
}

void OutputCore::finishOpenings() {
    auto ended = std::make_shared<std::promise<void>>();
    Opener::instance().post([ended] { ended->set_value(); });
    ended->get_future().wait();
}

OutputCore::OutputCore(StreamOpener opener, std::shared_ptr<FailureReporter> reporter,
                       CoreClock clock)
    : m_opener(std::move(opener)), m_reporter(std::move(reporter)), m_clock(std::move(clock)) {}

OutputCore::~OutputCore() {
    fadeOutBeforeClosing();
    closeStream();
}

// The program ends, or the device goes, with a channel still sounding: the
// stop and the releases waiting for the end of the event are committed now,
// and the stream stays until their fade has been heard, or a few hundred
// milliseconds at most, rather than cut the sound off at full level.
void OutputCore::fadeOutBeforeClosing() {
    if (!m_stream || !m_running || m_mixer.settled()) {
        return;
    }
    m_mixer.silenceForever();
    m_mixer.commit();
    m_stream->changed();
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(kFadeWaitMs);
    while (!m_mixer.settled() && std::chrono::steady_clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    std::this_thread::sleep_until(
        std::min(deadline, std::chrono::steady_clock::now() +
                               std::chrono::milliseconds(m_stream->heardWithinMs())));
}

Result OutputCore::openStream() {
    if (m_stream || m_opening) {
        return Result::success();
    }
    auto opening = std::make_shared<Opening>();
    // The try owns what it opens: a stream that comes after the core is gone
    // never started, so it lets go of nothing of the mixer's.
    Opener::instance().post([opening, opener = m_opener, &mixer = m_mixer, title = m_title] {
        std::unique_ptr<OutputStream> stream;
        Result status = opener(mixer, title, stream);
        const std::lock_guard<std::mutex> hold(opening->lock);
        opening->status = std::move(status);
        opening->stream = std::move(stream);
        opening->done = true;
        opening->finished.notify_all();
    });
    {
        std::unique_lock<std::mutex> hold(opening->lock);
        const bool noLoop = QCoreApplication::instance() == nullptr;
        if (noLoop) {
            opening->finished.wait(hold, [&] { return opening->done; });
        } else {
            opening->finished.wait_for(hold, std::chrono::milliseconds(m_clock.answerMs),
                                       [&] { return opening->done; });
        }
        if (opening->done) {
            hold.unlock();
            return take(*opening);
        }
    }
    m_opening = std::move(opening);
    later(kPollMs, &OutputCore::m_pollScheduled, &OutputCore::pollOpening);
    return Result::success();
}

Result OutputCore::take(Opening& opening) {
    const Result opened = *opening.status;
    if (!opened) {
        // The library's reason is English; it follows in brackets for
        // whoever looks deeper.
        return Result::failure(QStringLiteral("音声出力デバイスを開けません。サウンドサーバー"
                                              "が動いているか確かめてください (%1)。")
                                   .arg(opened.reason()));
    }
    m_stream = std::move(opening.stream);
    m_stream->setTitle(m_title); // in case it changed while the stream opened
    m_running = false;
    if (QCoreApplication::instance() != nullptr) {
        later(kWatchMs, &OutputCore::m_watchScheduled, &OutputCore::watch);
    }
    return Result::success();
}

void OutputCore::pollOpening() {
    if (!m_opening) {
        return;
    }
    {
        const std::lock_guard<std::mutex> hold(m_opening->lock);
        if (!m_opening->done) {
            later(kPollMs, &OutputCore::m_pollScheduled, &OutputCore::pollOpening);
            return;
        }
    }
    const std::shared_ptr<Opening> opening = std::move(m_opening);
    const Result opened = take(*opening);
    if (opened) {
        m_lost = false;
        m_reporter->recovered();
        flush(); // starts what was asked to play meanwhile
        return;
    }
    if (m_dead || !m_mixer.anyPlaying()) {
        m_lost = false;
        return; // nothing waits for it any more: stopped, or the window closed
    }
    if (m_lost) {
        giveUpAfterLong(opened); // or tries again at the next watch
        return;
    }
    // Nothing can play: told as a stream lost for good, so the switch
    // goes back to OFF.
    m_reporter->lost(opened.reason());
}

void OutputCore::setTitle(const QString& title) {
    m_title = title;
    if (m_stream) {
        m_stream->setTitle(title);
    }
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
    const qint64 since = m_committedAt == kNever ? kMinCommitMs : elapsed(m_committedAt);
    later(static_cast<int>(std::max<qint64>(0, kMinCommitMs - since)),
          &OutputCore::m_flushScheduled, &OutputCore::flush);
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
    m_clock.after(ms, [weak = weak_from_this(), scheduled, work] {
        if (auto self = weak.lock()) {
            (*self).*scheduled = false;
            ((*self).*work)();
        }
    });
}

void OutputCore::flush() {
    m_mixer.commit();
    m_committedAt = m_clock.nowMs();
    m_quietSince = kNever;
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
        m_quietSince = kNever;
        return false;
    }
    if (m_quietSince == kNever) {
        m_quietSince = m_clock.nowMs();
    }
    return elapsed(m_quietSince) >= m_stream->queuedMs();
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
        m_lostAt = m_clock.nowMs();
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
    if (m_opening) {
        return; // its answer decides
    }
    const Result opened = openStream();
    if (m_opening) {
        return;
    }
    if (opened) {
        m_lost = false;
        m_reporter->recovered();
        flush(); // resumes where the voices stood
        return;
    }
    giveUpAfterLong(opened);
}

void OutputCore::giveUpAfterLong(const Result& opened) {
    if (elapsed(m_lostAt) >= kGiveUpMs) {
        m_lost = false;
        m_reporter->lost(
            QStringLiteral("再生中に音声出力が失われ、%1 秒待っても戻りませんでした。\n%2")
                .arg(kGiveUpMs / 1000)
                .arg(opened.reason()));
    }
}

} // namespace vemba::audio
