// Faults a user can meet, each on the real program: the real window
// (offscreen), the real engine and audio layer, and the test PulseAudio
// server's null sink. Each row names the fault, what the user must see and
// hear; every row then checks that nothing stored was lost and that the
// program still runs.
//
// tests/app/read-only-view runs this test where FAULT_RO_VIEW shows
// FAULT_RO_SRC read-only and FAULT_RO_INI (inside the writable FAULT_RO_DIR)
// is a read-only setting.ini; root cannot write there either.

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
#include <QSlider>
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
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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
    std::unique_ptr<Program> program;
    QStringList messages;
    int exitCode = -1; // of the event loop, for a program that ends

    Form1& form() { return program->window().form(); }
    void copyTones(const QString& into) const {
        const QDir from(qEnvironmentVariable("VEMBA_PROGRAM_DIR"));
        for (const QString& name : from.entryList({QStringLiteral("*.wav")})) {
            QFile::remove(into + '/' + name);
            ASSERT_TRUE(QFile::copy(from.filePath(name), into + '/' + name));
        }
    }
    void start() {
        program = std::make_unique<Program>(programDir, qEnvironmentVariable("VEMBA_PROGRAM_DIR"));
        program->window().errors().setShowsMessageBoxes(false);
        QObject::connect(&program->window().errors(), &ErrorPresenter::reported,
                         [this](const QString& m) { messages << m; });
        program->start();
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
        return program->window().form().Label1()->palette().color(QPalette::Window) ==
               QColor(Qt::red);
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

QString roSource() {
    return qEnvironmentVariable("FAULT_RO_SRC");
}

// Whether tests/app/read-only-view runs this test.
bool readOnlyView() {
    return !roSource().isEmpty();
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

// Plays, then `signal` comes; the program runs until it ends by itself.
std::function<void(Scene&)> quitBy(int signal, bool aboutOpen) {
    return [signal, aboutOpen](Scene& s) {
        if (aboutOpen) { // keeps the program running after its main window closes
            s.form().MVersion()->trigger();
        }
        switchOnLowAndHigh(s);
        s.recorder.recordFor(1000);
        NetWatch net;
        QTimer::singleShot(0, [signal] { ::raise(signal); });
        QTimer hang;
        hang.callOnTimeout([] { QCoreApplication::exit(99); });
        hang.start(10000);
        s.exitCode = QApplication::exec();
        EXPECT_FALSE(net.caught()) << "ended by the safety net: the window thread was stuck";
    };
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

// Runs `rescue` once on a thread of its own: `ms` from now, or at finish(),
// whichever comes first. It frees a window thread stuck on something outside
// the process, so that a row that regresses fails instead of hanging.
class Rescue {
public:
    Rescue(int ms, std::function<void()> rescue)
        : m_thread([this, ms, rescue = std::move(rescue)] {
              {
                  std::unique_lock<std::mutex> hold(m_lock);
                  m_cameFirst = !m_finishing.wait_for(hold, std::chrono::milliseconds(ms),
                                                      [this] { return m_finished; });
              }
              rescue();
          }) {}
    ~Rescue() { finish(); }
    Rescue(const Rescue&) = delete;
    Rescue& operator=(const Rescue&) = delete;
    // Whether the rescue had come before.
    bool finish() {
        {
            const std::lock_guard<std::mutex> hold(m_lock);
            m_finished = true;
        }
        m_finishing.notify_all();
        if (m_thread.joinable()) {
            m_thread.join();
        }
        return m_cameFirst;
    }

private:
    std::mutex m_lock;
    std::condition_variable m_finishing;
    bool m_finished = false;
    bool m_cameFirst = false;
    std::thread m_thread; // last: starts once the rest is there
};

// The test server's process, or 0.
pid_t soundServerPid() {
    QFile f(qEnvironmentVariable("VEMBA_SOUND_DIR") + "/pid");
    return f.open(QIODevice::ReadOnly) ? f.readAll().trimmed().toInt() : 0;
}

void continueSoundServer() {
    if (const pid_t pid = soundServerPid(); pid > 1) {
        ::kill(pid, SIGCONT);
    }
}

// While it lives, the sound server is there and does not answer: the test
// server stopped, or PULSE_SERVER leading to a socket that takes connections
// and never reads them. SDL_AUDIODRIVER is unset, as most users have it.
// After a few seconds the server answers or goes anyway (see Rescue).
class Unanswering {
public:
    explicit Unanswering(bool stopTestServer) {
        // libpulse reads the environment on the opener thread: a try of the
        // row before, still reading it, would see it change under its feet.
        vemba::audio::OutputCore::finishOpenings();
        qunsetenv("SDL_AUDIODRIVER");
        if (stopTestServer) {
            const pid_t pid = soundServerPid();
            if (pid > 1 && ::kill(pid, SIGSTOP) == 0) {
                m_rescue = std::make_unique<Rescue>(kRescueMs, [pid] { ::kill(pid, SIGCONT); });
            }
            return;
        }
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        const QByteArray path =
            QFile::encodeName(QDir::tempPath()) + "/vemba-silent-" + QByteArray::number(::getpid());
        ::unlink(path.constData());
        m_socket = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
        if (m_socket < 0 || path.size() >= qsizetype(sizeof address.sun_path)) {
            return;
        }
        std::copy(path.begin(), path.end(), address.sun_path);
        if (::bind(m_socket, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0 &&
            ::listen(m_socket, 16) == 0) {
            qputenv("PULSE_SERVER", "unix:" + path);
            m_rescue = std::make_unique<Rescue>(kRescueMs, [this, path] {
                ::close(m_socket); // resets the connections it holds
                ::unlink(path.constData());
            });
        }
    }
    ~Unanswering() {
        if (m_rescue) {
            m_rescue->finish();
        } else if (m_socket >= 0) {
            ::close(m_socket);
        }
        vemba::audio::OutputCore::finishOpenings();
        qputenv("PULSE_SERVER", m_pulse);
        if (!m_sdl.isNull()) {
            qputenv("SDL_AUDIODRIVER", m_sdl);
        }
    }
    Unanswering(const Unanswering&) = delete;
    Unanswering& operator=(const Unanswering&) = delete;
    bool ready() const { return m_rescue != nullptr; }
    // The server answers or goes; whether the rescue had come before.
    bool end() { return m_rescue->finish(); }

private:
    // Well past the few seconds a try to connect may take.
    static constexpr int kRescueMs = 8000;
    QByteArray m_pulse = qgetenv("PULSE_SERVER");
    QByteArray m_sdl = qgetenv("SDL_AUDIODRIVER");
    int m_socket = -1;
    std::unique_ptr<Rescue> m_rescue;
};

// ON while the server does not answer: the window goes on at once, and the
// user is told once, when the try gives up on the server.
std::function<void(Scene&)> switchOnUnanswered(bool stopTestServer) {
    return [stopTestServer](Scene& s) {
        Unanswering server(stopTestServer);
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
    };
}

// `signal` comes while ON waits for a server that does not answer: the
// program ends the normal way, not through the safety net.
std::function<void(Scene&)> quitUnanswered(int signal, bool stopTestServer) {
    return [signal, stopTestServer](Scene& s) {
        Unanswering server(stopTestServer);
        ASSERT_TRUE(server.ready());
        NetWatch net;
        Rescue quit(300, [signal] { ::kill(::getpid(), signal); });
        switchOnLowAndHigh(s);
        QTimer hang;
        hang.callOnTimeout([] { QCoreApplication::exit(99); });
        hang.start(10000);
        s.exitCode = QApplication::exec();
        EXPECT_FALSE(net.caught()) << "ended by the safety net: the window thread was stuck";
    };
}

std::vector<Fault> faults() {
    return {
        {.name = "SIGTERM while playing", .act = quitBy(SIGTERM, false), .ends = true},
        {.name = "SIGINT while playing", .act = quitBy(SIGINT, false), .ends = true},
        {.name = "SIGHUP with the About box open", .act = quitBy(SIGHUP, true), .ends = true},
        {.name = "the sound server restarts while playing", .act = serverRestarts},
        {.name = "setting.ini is a directory: told at start-up",
         .arrange = [](Scene& s) { ASSERT_TRUE(QDir().mkpath(s.iniPath() + "/keep")); },
         .act = [](Scene&) {},
         .seen = {QStringLiteral("setting.ini")},
         .heard = {},
         .on = false,
         .nothingLost = [](Scene& s) { EXPECT_TRUE(QDir(s.iniPath() + "/keep").exists()); }},
        {.name = "setting.ini is binary junk",
         .arrange =
             [](Scene& s) {
                 std::mt19937 random(7);
                 QByteArray junk(4096, '\0');
                 for (char& c : junk) {
                     c = static_cast<char>(random());
                 }
                 putSettings(s, junk + "\n" + kKeepsake);
             }},
        {.name = "setting.ini is empty",
         .arrange = [](Scene& s) { putSettings(s, {}); },
         .nothingLost =
             [](Scene& s) {
                 EXPECT_EQ(iniEdit::ReadSetting(s.programDir, "Sound3", "Active"), "1");
             }},
        {.name = "setting.ini is read-only",
         .arrange =
             [](Scene& s) {
                 if (!readOnlyView()) {
                     GTEST_SKIP() << "no read-only view could be made here";
                 }
                 s.programDir = qEnvironmentVariable("FAULT_RO_DIR");
                 s.copyTones(s.programDir);
                 writeAll(qEnvironmentVariable("FAULT_RO_INI_SRC"), kKeepsake);
             },
         .seen = {QStringLiteral("setting.ini")}},
        {.name = "the program directory is read-only",
         .arrange =
             [](Scene& s) {
                 if (!readOnlyView()) {
                     GTEST_SKIP() << "no read-only view could be made here";
                 }
                 s.copyTones(roSource());
                 writeAll(roSource() + "/setting.ini", kKeepsake);
                 s.programDir = qEnvironmentVariable("FAULT_RO_VIEW");
             },
         .nothingLost =
             [](Scene& s) {
                 keepsakeKept(s);
                 // The user's own settings go to their configuration folder.
                 EXPECT_EQ(
                     iniEdit::ReadSetting(qEnvironmentVariable("XDG_CONFIG_HOME") + "/vemba-pc",
                                          "Sound3", "Active"),
                     "1");
             }},
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
        {.name = "a missing tone file silences its channel only",
         .arrange =
             [](Scene& s) {
                 keepsakeSettings(s);
                 QFile::remove(s.programDir + "/7500.wav");
             },
         .seen = {QStringLiteral("7500.wav")},
         .silent = {7500.0}},
        {.name = "every tone file missing",
         .arrange =
             [](Scene& s) {
                 keepsakeSettings(s);
                 for (const QString& n : QDir(s.programDir).entryList({QStringLiteral("*.wav")})) {
                     QFile::remove(s.programDir + '/' + n);
                 }
             },
         .seen = {QStringLiteral("30.wav")},
         .heard = {},
         .silent = {30.0, 450.0},
         .on = false},
        {.name = "a tone file that is a FIFO",
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
        {.name = "a sound server that takes connections and never answers",
         .act = switchOnUnanswered(false),
         .seen = {QStringLiteral("PulseAudio サーバーが応答しません")},
         .heard = {},
         .silent = {30.0, 450.0},
         .on = false},
        {.name = "a stopped sound server",
         .act = switchOnUnanswered(true),
         .seen = {QStringLiteral("PulseAudio サーバーが応答しません")},
         .heard = {},
         .silent = {30.0, 450.0},
         .on = false},
        {.name = "SIGTERM while the sound server does not answer",
         .act = quitUnanswered(SIGTERM, false),
         .heard = {},
         .ends = true},
        {.name = "SIGHUP while the sound server is stopped",
         .act = quitUnanswered(SIGHUP, true),
         .heard = {},
         .ends = true},
    };
}

class FaultMatrix : public testing::TestWithParam<Fault> {
protected:
    static void SetUpTestSuite() { installFormAppearance(); }
    void TearDown() override {
        vemba::audio::OutputCore::finishOpenings();
        if (!server.isEmpty()) {
            qputenv("PULSE_SERVER", server);
        }
        // A row that failed may have left the server stopped.
        if (HasFailure()) {
            continueSoundServer();
            probe::soundServer("start");
        }
    }
    QByteArray server = qgetenv("PULSE_SERVER");
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
        scene.program.reset();
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
    scene.program.reset();

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
