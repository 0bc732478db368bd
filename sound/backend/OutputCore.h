#pragma once

#include "AudioLayer.h"
#include "Mixer.h"
#include "OutputStream.h"

#include <QString>
#include <functional>
#include <memory>

namespace vemba::audio {

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

// Time as the core reads and waits on it: the steady clock and the event
// loop's timers, unless a test drives its own.
struct CoreClock {
    std::function<qint64()> nowMs;
    // Runs `work` `ms` from now on this thread.
    std::function<void(int ms, std::function<void()> work)> after;
    // How long openStream waits for the sound server's answer.
    int answerMs;
    static CoreClock steady();
};

// One output device: its mixer and the stream that plays it. Shared by the
// device object and its buffers, so that buffers outlive a replaced device
// harmlessly.
class OutputCore : public std::enable_shared_from_this<OutputCore> {
public:
    OutputCore(StreamOpener opener, std::shared_ptr<FailureReporter> reporter,
               CoreClock clock = CoreClock::steady());
    ~OutputCore();

    // A stream lost while playing is looked for again every second this long
    // before the user is told.
    static constexpr int kWatchMs = 1000;
    static constexpr int kGiveUpMs = 10000;
    // Commits come at least this far apart, however fast the changes: each
    // may leave released voices held for a while (see MixingAudioLayer.cpp),
    // and the changes in between reach the render side together.
    static constexpr int kMinCommitMs = 50;

    // Opens the stream on the thread that opens streams and waits for it kAnswerMs at
    // most (the clock's answerMs), so that a sound server that does not answer never holds the
    // window. Success also while the answer is still due: a failure then
    // reaches the reporter's lost listener, as a stream lost for good would.
    Result openStream();
    static constexpr int kAnswerMs = 100;
    // Waits until every try to open a stream so far has ended. The sound
    // libraries read the environment on that thread: whoever changes it
    // (a test pointing at another server) waits for this first.
    static void finishOpenings();
    bool streamOpen() const { return m_stream != nullptr; }
    bool opening() const { return m_opening != nullptr; }
    // The stream went away while playing and is being reopened: the voices
    // keep their state meanwhile.
    bool lost() const { return m_lost; }
    bool dead() const { return m_dead; }
    Mixer& mixer() { return m_mixer; }
    // What the stream says it plays: told to the open stream, and to every
    // stream opened from now on.
    void setTitle(const QString& title);

    // Something was staged on the mixer: commit it at the end of this event.
    void changed();
    // The device object is gone: fade everything out and close.
    void shutDown();
    // Checks again after the ramps whether the stream can close.
    void scheduleHousekeeping();

    std::shared_ptr<FailureReporter> reporter() const { return m_reporter; }

private:
    // Runs `work` once, `ms` from now on the GUI thread, unless it is
    // already due (`scheduled`); never after the core is gone.
    void later(int ms, bool OutputCore::*scheduled, void (OutputCore::*work)());
    void flush();
    void housekeeping();
    // Nothing has sounded for as long as the stream may queue.
    bool quietThrough();
    // Settles the mixer while no stream runs, frees what it let go of, and
    // looks again later while a stream idles open or a release is pending.
    void tidy();
    void closeStream();
    void fadeOutBeforeClosing();
    static constexpr int kFadeWaitMs = 300;
    // Once a second while a stream is open or lost: notices a stream the
    // server dropped and opens it again.
    void watch();
    void reconnect();
    // Tells the user once the stream has stayed away kGiveUpMs.
    void giveUpAfterLong(const Result& opened);
    struct Opening;
    // The stream of a finished try, or why there is none.
    Result take(Opening& opening);
    // Looks whether the try under way has its answer, until it has.
    void pollOpening();

    // Milliseconds since `since` (a time of the clock's).
    qint64 elapsed(qint64 since) const { return m_clock.nowMs() - since; }
    static constexpr qint64 kNever = -1;

    StreamOpener m_opener;
    std::shared_ptr<FailureReporter> m_reporter;
    CoreClock m_clock;
    Mixer m_mixer;
    std::unique_ptr<OutputStream> m_stream;
    QString m_title;
    bool m_running = false;
    bool m_dead = false;
    bool m_flushScheduled = false;
    bool m_housekeepingScheduled = false;
    bool m_watchScheduled = false;
    bool m_pollScheduled = false;
    std::shared_ptr<Opening> m_opening;
    qint64 m_quietSince = kNever;
    qint64 m_committedAt = kNever;
    bool m_lost = false;
    qint64 m_lostAt = kNever;
};

} // namespace vemba::audio
