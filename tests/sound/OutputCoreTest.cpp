// The output's life on a fake stream and a clock the test moves: the idle
// close, the watch for a lost stream, the reopening and the give-up, to the
// millisecond and in no time. What a real server does is left to
// OutputE2ETest.cpp and the fault matrix.

#include "OutputCore.h"

#include <QElapsedTimer>
#include <QStringList>
#include <atomic>
#include <gtest/gtest.h>
#include <map>
#include <mutex>
#include <thread>
#include <utility>

using namespace vemba::audio;
using vemba::Result;

namespace {

// Time that moves only when the test says; work comes due in order.
class FakeClock {
public:
    CoreClock clock(int answerMs) {
        return {[this] { return m_now; },
                [this](int ms, std::function<void()> work) {
                    m_due.emplace(m_now + ms, std::move(work));
                },
                answerMs};
    }
    // Moves time on to `ms` after the start, running what comes due meanwhile.
    void to(qint64 ms) {
        while (!m_due.empty() && m_due.begin()->first <= kStart + ms) {
            auto due = m_due.extract(m_due.begin());
            m_now = due.key();
            due.mapped()();
        }
        m_now = std::max(m_now, kStart + ms);
    }
    qint64 at() const { return m_now - kStart; }

private:
    static constexpr qint64 kStart = 5000;
    qint64 m_now = kStart;
    std::multimap<qint64, std::function<void()>> m_due;
};

// The sound server the fake streams play on. The opener runs on the thread
// that opens streams: what it touches is atomic, and it waits at the gate
// while the test holds it.
struct Server {
    std::atomic<int> tries{0};
    std::atomic<int> answered{0};
    std::atomic<int> open{0};
    std::atomic<int> starts{0};
    std::atomic<int> changes{0};
    std::atomic<bool> gone{false};
    std::atomic<bool> refuses{false};
    QString openedAs; // the title a try opened under, before it answered
    QString title;    // the title a stream was told later (window thread)
    std::mutex gate;
};

class FakeStream : public OutputStream {
public:
    explicit FakeStream(Server& server) : m_server(server) { ++m_server.open; }
    ~FakeStream() override { --m_server.open; }
    void start() override { ++m_server.starts; }
    void changed() override { ++m_server.changes; }
    bool gone() override { return m_server.gone; }
    int queuedMs() const override { return kQueuedMs; }
    int heardWithinMs() const override { return 0; }
    void setTitle(const QString& title) override { m_server.title = title; }
    static constexpr int kQueuedMs = 300;

private:
    Server& m_server;
};

// Real time, bounded: until `done`.
bool waitFor(const std::function<bool()>& done) {
    QElapsedTimer waited;
    waited.start();
    while (!done() && waited.elapsed() < 5000) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    return done();
}

class Core : public testing::Test {
protected:
    void SetUp() override {
        reporter->setListener([this](const QString& m) { failed << m; });
        reporter->setLostListener([this](const QString& m) { lost << m; });
        // A quick server answers long before this, however busy the machine.
        makeCore(5000);
    }
    // Never leaves the thread that opens streams waiting, nor working for a
    // test that has ended.
    void TearDown() override {
        release();
        EXPECT_TRUE(waitFor([this] { return server.answered == server.tries; }));
    }

    void makeCore(int answerMs) {
        core = std::make_shared<OutputCore>(opener(), reporter, clock.clock(answerMs));
        auto data = std::make_shared<SampleData>();
        data->samples.assign(2 * 4800, 0.5F);
        voice = core->mixer().addVoice(data);
    }
    StreamOpener opener() {
        return [this](Mixer&, const QString& title, std::unique_ptr<OutputStream>& stream) {
            ++server.tries;
            { const std::lock_guard<std::mutex> pass(server.gate); }
            server.openedAs = title;
            const bool refuses = server.refuses;
            if (!refuses) {
                stream = std::make_unique<FakeStream>(server);
            }
            ++server.answered;
            return refuses ? Result::failure(QStringLiteral("Connection refused"))
                           : Result::success();
        };
    }
    // The stream goes, and every try to open another is refused; or back.
    void serverAway(bool away) {
        server.gone = away;
        server.refuses = away;
    }
    // While held, a try waits at the gate and answers once released.
    void hold() {
        server.gate.lock();
        held = true;
    }
    void release() {
        if (std::exchange(held, false)) {
            server.gate.unlock();
        }
    }
    // As a buffer's Play does.
    void play() {
        if (!core->streamOpen() && !core->lost()) {
            if (const Result opened = core->openStream(); !opened) {
                reporter->failed(opened.reason());
            }
        }
        core->mixer().play(voice);
        core->changed();
    }
    void stop() {
        core->mixer().stop(voice);
        core->changed();
    }
    // The stream's thread renders until the stop has faded out.
    void render() {
        std::vector<float> out(2 * Mixer::kRampFrames * 2);
        core->mixer().render(out.data(), Mixer::kRampFrames * 2);
    }
    // Once the slow try has answered, moves the clock on until the core
    // has looked.
    void awaitAnswer() {
        ASSERT_TRUE(waitFor([this] { return server.answered == server.tries; }));
        ASSERT_TRUE(waitFor([this] {
            clock.to(clock.at() + 20);
            return !core->opening();
        }));
    }

    Server server;
    FakeClock clock;
    std::shared_ptr<FailureReporter> reporter = std::make_shared<FailureReporter>();
    std::shared_ptr<OutputCore> core;
    int voice = -1;
    bool held = false;
    QStringList failed;
    QStringList lost;
};

// A stream nothing started closes at the first look; one that played closes
// only once the stop has been rendered and what it queued has been heard.
TEST_F(Core, AnIdleStreamClosesOnceWhatItQueuedHasBeenHeard) {
    ASSERT_TRUE(core->openStream());
    core->scheduleHousekeeping();
    clock.to(150);
    EXPECT_EQ(server.open, 0) << "an unused stream stays open";

    play();
    clock.to(200);
    EXPECT_EQ(server.starts, 1);
    stop();
    clock.to(2000);
    EXPECT_EQ(server.open, 1) << "closed before the stop was rendered";
    render();
    // Found quiet at the next look, every 150 ms: heard through 300 ms later.
    clock.to(2100);
    const qint64 quiet = clock.at();
    clock.to(quiet + FakeStream::kQueuedMs - 1);
    EXPECT_EQ(server.open, 1) << "closed while what it queued still plays";
    clock.to(quiet + FakeStream::kQueuedMs + 150);
    EXPECT_EQ(server.open, 0);
    EXPECT_TRUE(failed.isEmpty() && lost.isEmpty());
}

// However fast the choices change, they reach a running stream at most every
// kMinCommitMs, yet all the while: the mixer's pool of voices is sized on it.
TEST_F(Core, QuickChangesAreCommittedAtMostEveryFiftyMilliseconds) {
    ASSERT_TRUE(core->openStream());
    play();
    clock.to(100);
    ASSERT_EQ(server.starts, 1);
    for (int ms = 101; ms <= 1100; ++ms) {
        core->changed();
        clock.to(ms);
    }
    const int most = 1000 / OutputCore::kMinCommitMs + 1;
    EXPECT_LE(server.changes, most);
    EXPECT_GE(server.changes, most - 2) << "changes held back while more kept coming";
}

// A lost stream is noticed at the next watch, a second after the last, and
// reopened every second: back within ten seconds, it plays on untold. Lost
// again and stopped, nothing is reopened, and there is nothing to tell.
TEST_F(Core, ALostStreamIsReopenedEverySecondWhileItIsWanted) {
    play();
    clock.to(100);
    serverAway(true);
    clock.to(1000);
    EXPECT_EQ(server.open, 0);
    EXPECT_TRUE(core->lost());
    EXPECT_EQ(server.tries, 2);
    clock.to(3999);
    EXPECT_EQ(server.tries, 4);
    serverAway(false);
    clock.to(4000);
    EXPECT_EQ(server.open, 1);
    EXPECT_EQ(server.starts, 2) << "the voices do not resume";
    EXPECT_FALSE(core->lost());
    clock.to(9999);
    EXPECT_EQ(server.tries, 5);
    serverAway(true);
    clock.to(10000);
    ASSERT_TRUE(core->lost());
    stop();
    clock.to(30000);
    EXPECT_FALSE(core->lost());
    EXPECT_EQ(server.tries, 6);
    EXPECT_TRUE(failed.isEmpty() && lost.isEmpty());
}

// Gone for ten seconds: told once, and then nothing is tried or told again
// until the user plays.
TEST_F(Core, ALostStreamIsGivenUpAfterTenSecondsAndToldOnce) {
    play();
    serverAway(true);
    clock.to(1000); // lost
    clock.to(1000 + OutputCore::kGiveUpMs - 1);
    EXPECT_TRUE(lost.isEmpty());
    EXPECT_TRUE(core->lost());
    clock.to(1000 + OutputCore::kGiveUpMs);
    ASSERT_EQ(lost.size(), 1);
    EXPECT_TRUE(lost[0].contains(QStringLiteral("Connection refused"))) << lost[0].toStdString();
    EXPECT_FALSE(core->lost());
    EXPECT_TRUE(failed.isEmpty());
    server.refuses = true;
    play();
    play();
    ASSERT_EQ(failed.size(), 1) << "the next ON failed untold, or told twice";
    EXPECT_TRUE(failed[0].contains(QStringLiteral("(Connection refused)")));
}

// A server that answers only when the test lets it, waited for a tenth of a
// second as the program does: Play goes on at once and the late stream starts
// it. A title set meanwhile reaches the stream once it is there.
// Lost, a reopening that fails late leaves the next watch to try again
// inside the ten seconds and gives up, once, past them; a late failure of
// the next Play is told at once. Nothing is then tried again on its own.
TEST_F(Core, ASlowServerStartsThePlayLateAndGivesUpOnlyPastTenSeconds) {
    makeCore(OutputCore::kAnswerMs);
    core->setTitle(QStringLiteral("30Hz"));
    hold();
    play();
    EXPECT_TRUE(core->opening());
    core->setTitle(QStringLiteral("450Hz"));
    release();
    awaitAnswer();
    EXPECT_EQ(server.starts, 1);
    EXPECT_EQ(server.openedAs, QStringLiteral("30Hz"));
    EXPECT_EQ(server.title, QStringLiteral("450Hz"));
    const qint64 opened = clock.at(); // the watch comes within a second
    serverAway(true);
    hold();
    clock.to(opened + 1000); // lost; the try waits
    ASSERT_TRUE(core->opening());
    clock.to(opened + OutputCore::kGiveUpMs - 500);
    EXPECT_EQ(server.tries, 2) << "a second try while one is under way";
    release();
    awaitAnswer();
    EXPECT_TRUE(lost.isEmpty()) << "gave up early";
    EXPECT_TRUE(core->lost());
    hold();
    clock.to(opened + 1000 + OutputCore::kGiveUpMs); // the next try waits past the limit
    ASSERT_TRUE(core->opening());
    release();
    awaitAnswer();
    EXPECT_EQ(lost.size(), 1);
    EXPECT_FALSE(core->lost());
    hold();
    play();
    release();
    awaitAnswer();
    ASSERT_EQ(lost.size(), 2);
    EXPECT_TRUE(lost[1].contains(QStringLiteral("Connection refused")));
    const int tries = server.tries;
    clock.to(clock.at() + 60000);
    EXPECT_EQ(server.tries, tries);
    EXPECT_TRUE(failed.isEmpty());
}

} // namespace
