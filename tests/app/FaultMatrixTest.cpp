// Faults a user can meet, each on the real program: the real window
// (offscreen), the real engine and audio layer, and the test PulseAudio
// server's null sink. Each row names the fault, what the user must see and
// hear; every row then checks that nothing stored was lost and that the
// program still runs.
//
// tests/app/read-only-view runs this test where the setting.ini inside the
// writable FAULT_RO_DIR is a read-only view of FAULT_RO_INI_SRC; root cannot
// write it either.

#include "FormStyle.h"
#include "MixingAudioLayer.h"
#include "OutputCore.h"
#include "ProgramStart.h"
#include "ProgramWindow.h"
#include "QtPrinters.h"
#include "QuitSignals.h"
#include "SoundProbe.h"
#include "Twips.h"
#include "UserText.h"
#include "iniEdit.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <atomic>
#include <cmath>
#include <condition_variable>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <mutex>
#include <stop_token>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vemba {
namespace {

constexpr std::size_t kWindow = 24000; // half a second: every tone here falls on a bin

QByteArray readAll(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
}

void writeAll(const QString& path, const QByteArray& bytes) {
    QFile f(path);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                f.write(bytes) == bytes.size())
        << path.toStdString();
}

// A hand-written entry of the user's own that no fault may take away.
const QByteArray kKeepsake = "[メモ]\r\n網戸=直した\r\n";

// The peak of the last millisecond before the recording fell silent against
// the peak of the 20 ms before: small when the sound faded out, near 1 when
// it was cut off.
double endingRatio(const probe::SinkRecorder& recorder) {
    const std::vector<float> left = probe::channel(recorder.samples(), 0, 0, recorder.frames());
    std::size_t end = left.size();
    while (end > 0 && std::abs(left[end - 1]) < 1e-4F) {
        --end;
    }
    constexpr std::size_t kMs = probe::kRate / 1000;
    if (end < 21 * kMs) {
        return 0.0;
    }
    const auto peak = [&](std::size_t from, std::size_t to) {
        float p = 0.0F;
        for (std::size_t i = from; i < to; ++i) {
            p = std::max(p, std::abs(left[i]));
        }
        return p;
    };
    return peak(end - kMs, end) / peak(end - 21 * kMs, end - kMs);
}

struct Scene {
    QString programDir;
    QString iniPath() const { return iniEdit::settingsPath(programDir); }
    probe::SinkRecorder recorder;
    std::unique_ptr<audio::MixingAudioLayer> layer;
    std::unique_ptr<ProgramWindow> window;
    std::unique_ptr<QuitSignals> quitSignals;
    QStringList messages;
    int exitCode = -1; // of the event loop, for a program that ends

    Form1& form() { return window->form(); }
    void copyTones(const QString& into) const {
        const QDir from(qEnvironmentVariable("VEMBA_PROGRAM_DIR"));
        for (const QString& name : from.entryList({QStringLiteral("*.wav")})) {
            QFile::remove(into + '/' + name);
            ASSERT_TRUE(QFile::copy(from.filePath(name), into + '/' + name));
        }
    }
    void start() {
        layer =
            std::make_unique<audio::MixingAudioLayer>(qEnvironmentVariable("VEMBA_PROGRAM_DIR"));
        window = std::make_unique<ProgramWindow>(ProgramWindow::Services{programDir, layer.get()});
        quitSignals = std::make_unique<QuitSignals>();
        window->errors().setShowsMessageBoxes(false);
        QObject::connect(&window->errors(), &ErrorPresenter::reported,
                         [this](const QString& m) { messages << m; });
        startProgram(*window, *layer, *quitSignals);
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    }
    void restartRecorder() {
        recorder.stop(); // its parec went with the server
        QString error;
        ASSERT_TRUE(recorder.start(&error)) << error.toStdString();
    }
    void tick(int channel, bool on) {
        if (form().Check(channel)->isChecked() != on) {
            QTest::mouseClick(form().Check(channel), Qt::LeftButton);
        }
    }
    void switchOn() { QTest::mouseClick(form().optMediaMode(0), Qt::LeftButton); }
    bool lampRed() const {
        return window->form().Label1()->palette().color(QPalette::Window) == QColor(Qt::red);
    }
};

void keepsakeKept(Scene& s) {
    EXPECT_TRUE(readAll(s.iniPath()).contains(kKeepsake));
}

void putSettings(Scene& s, const QByteArray& bytes) {
    writeAll(s.iniPath(), bytes);
}

void keepsakeSettings(Scene& s) {
    putSettings(s, kKeepsake);
}

// Channels 1 and 3 at their 30 and 450 Hz tones; channel 2 as arranged.
void switchOnLowAndHigh(Scene& s) {
    s.tick(1, true);
    s.tick(3, true);
    s.switchOn();
}

struct Fault {
    const char* name;
    std::function<void(Scene&)> arrange = keepsakeSettings; // before the program starts
    std::function<void(Scene&)> act = switchOnLowAndHigh;   // what the user does then
    QStringList seen;                      // a text each message holds, one per message
    std::vector<double> heard = {30, 450}; // tones that must sound afterwards
    std::vector<double> silent;            // tones that must not
    bool on = true;                        // the switch (and lamp) after the act
    bool ends = false;                     // the program ends the normal way instead of running on
    // What must still be stored afterwards.
    std::function<void(Scene&)> nothingLost = keepsakeKept;
};

void PrintTo(const Fault& f, std::ostream* os) {
    *os << f.name;
}

std::atomic<bool> g_netCaught{false};

// Stands in for the quit signals' safety net while it lives, and only notes
// that it was needed: the net's exit with status 0 would hide a window thread
// that never came back.
class NetWatch {
public:
    NetWatch() {
        g_netCaught = false;
        struct sigaction note {};
        note.sa_handler = [](int) { g_netCaught = true; };
        sigemptyset(&note.sa_mask);
        note.sa_flags = SA_RESTART;
        ::sigaction(SIGALRM, &note, &m_net);
    }
    ~NetWatch() { ::sigaction(SIGALRM, &m_net, nullptr); }
    NetWatch(const NetWatch&) = delete;
    NetWatch& operator=(const NetWatch&) = delete;
    bool caught() const { return g_netCaught; }

private:
    struct sigaction m_net {};
};

// Runs `rescue` once on a thread of its own: `ms` from now, or at finish(),
// whichever comes first. It frees a window thread stuck on something outside
// the process, so that a row that regresses fails instead of hanging.
class Rescue {
public:
    Rescue(int ms, std::function<void()> rescue)
        : m_thread([this, ms, rescue = std::move(rescue)](const std::stop_token& stop) {
              std::mutex lock;
              std::unique_lock<std::mutex> hold(lock);
              std::condition_variable_any().wait_for(hold, stop, std::chrono::milliseconds(ms),
                                                     [] { return false; });
              m_cameFirst = !stop.stop_requested();
              rescue();
          }) {}
    Rescue(const Rescue&) = delete;
    Rescue& operator=(const Rescue&) = delete;
    // Whether the rescue had come before.
    bool finish() {
        if (m_thread.joinable()) {
            m_thread.request_stop();
            m_thread.join();
        }
        return m_cameFirst;
    }

private:
    bool m_cameFirst = false;
    std::jthread m_thread; // last: starts once the rest is there
};

// `signal` comes `ms` after the act starts; the program runs until it ends by
// itself, the normal way and not through the safety net.
void runUntilQuit(Scene& s, int signal, int ms) {
    NetWatch net;
    Rescue quit(ms, [signal] { ::kill(::getpid(), signal); });
    QTimer hang;
    hang.callOnTimeout([] { QCoreApplication::exit(99); });
    hang.start(10000);
    s.exitCode = QApplication::exec();
    EXPECT_FALSE(net.caught()) << "ended by the safety net: the window thread was stuck";
}

// Plays, then SIGHUP comes with the About box open, which would keep the
// program running after its main window closes. Every quit signal reaching
// the program ProgramProcessTest shows.
void quitWithAboutOpen(Scene& s) {
    s.form().MVersion()->trigger();
    switchOnLowAndHigh(s);
    s.recorder.recordFor(1000);
    runUntilQuit(s, SIGHUP, 0);
}

// Plays; the server goes away and comes back a second later. How the program
// notices, reopens and gives up is timed in tests/sound/OutputCoreTest.cpp.
void serverRestarts(Scene& s) {
    switchOnLowAndHigh(s);
    s.recorder.recordFor(1500);
    ASSERT_TRUE(probe::soundServer("stop"));
    QTest::qWait(1000);
    ASSERT_TRUE(probe::soundServer("start"));
    s.restartRecorder();
    // Noticed within two checks, reopened within one more; longer on a busy
    // machine.
    for (int waited = 0; waited < 10000; waited += 500) {
        s.recorder.recordFor(500);
        if (s.recorder.frames() > kWindow && s.recorder.peakOfLast(kWindow / 4) > 1e-2F) {
            break;
        }
    }
}

// The test server's process, or 0.
pid_t soundServerPid() {
    QFile f(qEnvironmentVariable("VEMBA_SOUND_DIR") + "/pid");
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toInt() : 0;
}

// While it lives, the test server is stopped: there, and not answering.
// SDL_AUDIODRIVER is unset, as most users have it. After a few seconds the
// server goes on anyway (see Rescue).
class StoppedServer {
public:
    StoppedServer() {
        // libpulse reads the environment on the opener thread: a try of the
        // row before, still reading it, would see it change under its feet.
        audio::OutputCore::finishOpenings();
        qunsetenv("SDL_AUDIODRIVER");
        if (const pid_t pid = soundServerPid(); pid > 1 && ::kill(pid, SIGSTOP) == 0) {
            // Well past the few seconds a try to connect may take.
            m_rescue = std::make_unique<Rescue>(8000, [pid] { ::kill(pid, SIGCONT); });
        }
    }
    ~StoppedServer() {
        end();
        audio::OutputCore::finishOpenings();
        if (!m_sdl.isNull()) {
            qputenv("SDL_AUDIODRIVER", m_sdl);
        }
    }
    StoppedServer(const StoppedServer&) = delete;
    StoppedServer& operator=(const StoppedServer&) = delete;
    bool ready() const { return m_rescue != nullptr; }
    // The server goes on; whether the rescue had come before.
    bool end() { return m_rescue != nullptr && m_rescue->finish(); }

private:
    QByteArray m_sdl = qgetenv("SDL_AUDIODRIVER");
    std::unique_ptr<Rescue> m_rescue;
};

// ON while the server does not answer: the window goes on at once, and the
// user is told once, when the try gives up on the server.
void switchOnUnanswered(Scene& s) {
    StoppedServer server;
    ASSERT_TRUE(server.ready());
    bool beatFirst = false;
    QTimer beat;
    beat.setSingleShot(true);
    beat.callOnTimeout([&s, &beatFirst] { beatFirst = s.messages.isEmpty(); });
    beat.start(200);
    switchOnLowAndHigh(s);
    EXPECT_TRUE(s.messages.isEmpty() && s.form().optMediaMode(0)->isChecked())
        << "the click waited for the server";
    ASSERT_TRUE(QTest::qWaitFor([&s] { return !s.messages.isEmpty(); }, 20000));
    EXPECT_TRUE(beatFirst) << "the window stood still while the server did not answer";
    EXPECT_FALSE(server.end()) << "told only once the server had answered or gone";
}

// A quit signal while ON waits for the server.
void quitUnanswered(Scene& s) {
    StoppedServer server;
    ASSERT_TRUE(server.ready());
    switchOnLowAndHigh(s);
    runUntilQuit(s, SIGTERM, 300);
}

std::vector<Fault> faults() {
    return {
        {.name = "SIGHUP with the About box open", .act = quitWithAboutOpen, .ends = true},
        {.name = "the sound server restarts while playing", .act = serverRestarts},
        {.name = "setting.ini is a directory: told at start-up",
         .arrange = [](Scene& s) { ASSERT_TRUE(QDir().mkpath(s.iniPath() + "/keep")); },
         .act = [](Scene&) {},
         .seen = {QStringLiteral("setting.ini")},
         .heard = {},
         .on = false,
         .nothingLost = [](Scene& s) { EXPECT_TRUE(QDir(s.iniPath() + "/keep").exists()); }},
        {.name = "setting.ini is read-only",
         .arrange =
             [](Scene& s) {
                 if (qEnvironmentVariableIsEmpty("FAULT_RO_DIR")) {
                     GTEST_SKIP() << "no read-only view could be made here";
                 }
                 s.programDir = qEnvironmentVariable("FAULT_RO_DIR");
                 s.copyTones(s.programDir);
                 writeAll(qEnvironmentVariable("FAULT_RO_INI_SRC"), kKeepsake);
             },
         .seen = {QStringLiteral("setting.ini")}},
        {.name = "setting.ini belongs to another user and group",
         .arrange =
             [](Scene& s) {
                 if (::geteuid() != 0) {
                     GTEST_SKIP() << "only root can hand a file to another user";
                 }
                 keepsakeSettings(s);
                 const QByteArray name = QFile::encodeName(s.iniPath());
                 ASSERT_EQ(::chmod(name.constData(), 0664), 0);
                 ASSERT_EQ(::chown(name.constData(), 65534, 65534), 0); // nobody:nogroup
             },
         .nothingLost =
             [](Scene& s) {
                 keepsakeKept(s);
                 struct stat st {};
                 ASSERT_EQ(::stat(QFile::encodeName(s.iniPath()).constData(), &st), 0);
                 EXPECT_EQ(st.st_uid, 65534U);
                 EXPECT_EQ(st.st_gid, 65534U);
                 EXPECT_EQ(st.st_mode & 07777, 0664U);
             }},
        {.name = "a tone file that is a FIFO silences its channel only",
         .arrange =
             [](Scene& s) {
                 keepsakeSettings(s);
                 const QByteArray fifo = QFile::encodeName(s.programDir + "/30.wav");
                 ASSERT_TRUE(::unlink(fifo.constData()) == 0 &&
                             ::mkfifo(fifo.constData(), 0644) == 0);
             },
         .act =
             [](Scene& s) {
                 // A writer frees an open that waits for one, and hands it no sound.
                 const QByteArray fifo = QFile::encodeName(s.programDir + "/30.wav");
                 Rescue writer(3000, [fifo] {
                     const int fd = ::open(fifo.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
                     if (fd >= 0) {
                         (void)::write(fd, "not a sound\n", 12);
                         ::close(fd);
                     }
                 });
                 switchOnLowAndHigh(s);
                 ASSERT_TRUE(QTest::qWaitFor([&s] { return !s.messages.isEmpty(); }, 10000));
                 EXPECT_FALSE(writer.finish()) << "the click waited for a writer";
             },
         .seen = {QStringLiteral("30.wav")},
         .heard = {450.0},
         .silent = {30.0}},
        {.name = "a stopped sound server",
         .act = switchOnUnanswered,
         .seen = {QStringLiteral("PulseAudio サーバーが応答しません")},
         .heard = {},
         .silent = {30.0, 450.0},
         .on = false},
        {.name = "SIGTERM while the sound server is stopped",
         .act = quitUnanswered,
         .heard = {},
         .ends = true},
    };
}

class FaultMatrix : public testing::TestWithParam<Fault> {
protected:
    static void SetUpTestSuite() { installFormAppearance(); }
    void TearDown() override {
        // A row that failed may have left the server stopped.
        if (HasFailure()) {
            if (const pid_t pid = soundServerPid(); pid > 1) {
                ::kill(pid, SIGCONT);
            }
            probe::soundServer("start");
        }
    }
};

// Settings that cannot stay beside the program go here, not to the real home.
const QTemporaryDir configHome;
const bool configHomeSet = qputenv("XDG_CONFIG_HOME", QFile::encodeName(configHome.path()));

TEST_P(FaultMatrix, TheUserIsToldNothingIsLostAndTheProgramRuns) {
    const Fault& fault = GetParam();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    Scene scene;
    QString error;
    ASSERT_TRUE(scene.recorder.start(&error)) << error.toStdString();
    probe::SinkRecorder& recorder = scene.recorder;
    scene.programDir = dir.path();
    scene.copyTones(dir.path());
    fault.arrange(scene);
    if (IsSkipped() || HasFatalFailure()) {
        return;
    }

    scene.start();
    fault.act(scene);
    if (HasFatalFailure()) {
        return;
    }
    // Long enough for a change to be heard even on a busy machine.
    ASSERT_TRUE(recorder.recordFor(1500) && recorder.frames() > kWindow);

    EXPECT_EQ(scene.messages.size(), fault.seen.size()) << scene.messages.join('\n').toStdString();
    for (qsizetype i = 0; i < std::min(scene.messages.size(), fault.seen.size()); ++i) {
        EXPECT_TRUE(scene.messages[i].contains(fault.seen[i])) << scene.messages[i].toStdString();
        EXPECT_TRUE(usertext::japaneseOnly(scene.messages[i])) << scene.messages[i].toStdString();
    }
    if (fault.ends) {
        EXPECT_EQ(scene.exitCode, 0);
        EXPECT_FALSE(scene.form().isVisible());
        const auto stored = [&](const char* key) {
            return iniEdit::ReadSetting(scene.programDir, "Position", key);
        };
        EXPECT_EQ(stored("Top"), QString::number(scene.form().y() * kTwipsPerPixel));
        EXPECT_EQ(stored("Left"), QString::number(scene.form().x() * kTwipsPerPixel));
        EXPECT_LT(recorder.peakOfLast(kWindow), 1e-4F) << "still sounding";
        EXPECT_LT(endingRatio(recorder), 0.3) << "cut off instead of faded out";
        scene.window.reset();
        fault.nothingLost(scene);
        return;
    }

    const std::vector<float> left = recorder.last(kWindow);
    for (double f : fault.heard) {
        EXPECT_GT(probe::levelAt(left, f), -40.0) << f << " Hz is not heard";
    }
    for (double f : fault.silent) {
        EXPECT_LT(probe::levelAt(left, f), -100.0) << f << " Hz is heard";
    }
    EXPECT_EQ(scene.form().optMediaMode(0)->isChecked(), fault.on);
    EXPECT_EQ(scene.lampRed(), fault.on);

    // Still running: the window answers a click, and OFF silences it.
    ASSERT_TRUE(scene.form().isVisible());
    const bool ticked = scene.form().Check(1)->isChecked();
    QTest::mouseClick(scene.form().Check(1), Qt::LeftButton);
    EXPECT_NE(scene.form().Check(1)->isChecked(), ticked);
    QTest::mouseClick(scene.form().optMediaMode(1), Qt::LeftButton);
    ASSERT_TRUE(recorder.recordFor(1000));
    EXPECT_LT(recorder.peakOfLast(kWindow), 1e-4F) << "OFF does not silence";
    scene.form().close();
    scene.window.reset();

    fault.nothingLost(scene);
}

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, testing::ValuesIn(faults()),
                         [](const testing::TestParamInfo<Fault>& info) {
                             QString name = QString::fromUtf8(info.param.name);
                             name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), "_");
                             return name.toStdString();
                         });

} // namespace
} // namespace vemba
