// Faults that only the real program meets: the real window (offscreen), the
// real engine and audio layer, real files and the test PulseAudio server's
// null sink. Each row names the fault, what the user must see and hear; every
// row then checks that nothing stored was lost and that the program still
// runs. The same faults against a recording audio layer ControllerTest shows.
//
// tests/app/read-only-view runs this test where the setting.ini inside the
// writable FAULT_RO_DIR is a read-only view of FAULT_RO_INI_SRC; root cannot
// write it either.

#include "Files.h"
#include "ProgramStart.h"
#include "QtPrinters.h"
#include "SoundProbe.h"
#include "UserText.h"
#include "WindowTest.h"
#include "iniEdit.h"

#include <QDir>
#include <QFile>
#include <QLabel>
#include <QRegularExpression>
#include <QTest>
#include <atomic>
#include <chrono>
#include <csignal>
#include <fcntl.h>
#include <functional>
#include <gtest/gtest.h>
#include <stop_token>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace vemba {
namespace {

constexpr std::size_t kWindow = 24000; // half a second: every tone here falls on a bin

// A hand-written entry of the user's own that no fault may take away.
const QByteArray kKeepsake = "[メモ]\r\n網戸=直した\r\n";

struct Scene {
    QTemporaryDir dir;
    QString programDir = dir.path();
    QString iniPath() const { return iniEdit::settingsPath(programDir); }
    probe::SinkRecorder recorder;
    std::unique_ptr<Program> program;
    QStringList messages;

    Form1& form() { return program->window().form(); }
    void start() {
        program = std::make_unique<Program>(programDir, qEnvironmentVariable("VEMBA_PROGRAM_DIR"));
        testing::collectMessages(program->window(), messages);
        program->start();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    }
    // Channels 1 and 3 at their 30 and 450 Hz tones; channel 2 as arranged.
    void switchOnLowAndHigh() {
        for (int channel : {1, 3}) {
            QTest::mouseClick(form().Check(channel), Qt::LeftButton);
        }
        QTest::mouseClick(form().optMediaMode(0), Qt::LeftButton);
    }
    bool lampRed() { return form().Label1()->palette().color(QPalette::Window) == QColor(Qt::red); }
};

void keepsakeKept(Scene& s) {
    EXPECT_TRUE(readFile(s.iniPath()).contains(kKeepsake));
}

struct Fault {
    const char* name;
    std::function<void(Scene&)> arrange = [](Scene& s) {
        ASSERT_TRUE(writeFile(s.iniPath(), kKeepsake));
    };
    std::function<void(Scene&)> act = &Scene::switchOnLowAndHigh; // what the user does then
    QStringList seen;                      // a text each message holds, one per message
    std::vector<double> heard = {30, 450}; // tones that must sound afterwards
    std::vector<double> silent;            // tones that must not
    bool on = true;                        // the switch (and lamp) after the act
    // What must still be stored afterwards.
    std::function<void(Scene&)> nothingLost = keepsakeKept;
};

// Runs `rescue` once on a thread of its own: `ms` from now, or at finish(),
// whichever comes first. It frees a window thread stuck on something outside
// the process, so that a row that regresses fails instead of hanging.
class Rescue {
public:
    Rescue(int ms, std::function<void()> rescue)
        : m_thread([this, ms, rescue = std::move(rescue)](const std::stop_token& stop) {
              for (int waited = 0; waited < ms && !stop.stop_requested(); waited += 10) {
                  std::this_thread::sleep_for(std::chrono::milliseconds(10));
              }
              m_cameFirst = !stop.stop_requested();
              rescue();
          }) {}
    // Whether the rescue had come before.
    bool finish() {
        m_thread.request_stop();
        m_thread.join();
        return m_cameFirst;
    }

private:
    std::atomic<bool> m_cameFirst = false;
    std::jthread m_thread; // last: starts once the rest is there
};

// Plays; the server goes away and comes back a second later. How the program
// notices, reopens and gives up is timed in tests/sound/OutputCoreTest.cpp.
void serverRestarts(Scene& s) {
    s.switchOnLowAndHigh();
    s.recorder.recordFor(1500);
    ASSERT_TRUE(probe::soundServer("stop"));
    QTest::qWait(1000);
    ASSERT_TRUE(probe::soundServer("start"));
    s.recorder.stop(); // its parec went with the server
    QString error;
    ASSERT_TRUE(s.recorder.start(&error)) << error.toStdString();
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

// ON while the server is stopped, there and not answering, with
// SDL_AUDIODRIVER unset as most users have it: the window goes on at once,
// and the user is told once, when the try gives up on the server.
void switchOnUnanswered(Scene& s) {
    // libpulse reads the environment on the opener thread: a try still
    // reading it would see it change under its feet.
    s.program->audio().finishOpenings();
    const pid_t pid = soundServerPid();
    ASSERT_TRUE(pid > 1 && ::kill(pid, SIGSTOP) == 0);
    const QByteArray sdl = qgetenv("SDL_AUDIODRIVER");
    qunsetenv("SDL_AUDIODRIVER");
    // Well past the few seconds a try to connect may take.
    Rescue server(8000, [pid] { ::kill(pid, SIGCONT); });
    bool beatFirst = false;
    QTimer beat;
    beat.setSingleShot(true);
    beat.callOnTimeout([&s, &beatFirst] { beatFirst = s.messages.isEmpty(); });
    beat.start(200);
    s.switchOnLowAndHigh();
    EXPECT_TRUE(s.messages.isEmpty() && s.form().optMediaMode(0)->isChecked())
        << "the click waited for the server";
    EXPECT_TRUE(QTest::qWaitFor([&s] { return !s.messages.isEmpty(); }, 20000));
    EXPECT_TRUE(beatFirst) << "the window stood still while the server did not answer";
    EXPECT_FALSE(server.finish()) << "told only once the server had answered or gone";
    s.program->audio().finishOpenings();
    qputenv("SDL_AUDIODRIVER", sdl);
}

// A tone file that is a FIFO: an open waits for a writer. One comes after a
// while and hands it no sound.
void switchOnWithAFifo(Scene& s) {
    const QByteArray fifo = QFile::encodeName(s.programDir + "/30.wav");
    Rescue writer(3000, [fifo] {
        const int fd = ::open(fifo.constData(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd >= 0) {
            (void)::write(fd, "not a sound\n", 12);
            ::close(fd);
        }
    });
    s.switchOnLowAndHigh();
    ASSERT_TRUE(QTest::qWaitFor([&s] { return !s.messages.isEmpty(); }, 10000));
    EXPECT_FALSE(writer.finish()) << "the click waited for a writer";
}

std::vector<Fault> faults() {
    return {
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
                 testing::copyTones(s.programDir);
                 ASSERT_TRUE(writeFile(qEnvironmentVariable("FAULT_RO_INI_SRC"), kKeepsake));
             },
         .seen = {QStringLiteral("setting.ini")}},
        {.name = "a tone file that is a FIFO silences its channel only",
         .arrange =
             [](Scene& s) {
                 ASSERT_TRUE(writeFile(s.iniPath(), kKeepsake));
                 const QByteArray fifo = QFile::encodeName(s.programDir + "/30.wav");
                 ASSERT_TRUE(::unlink(fifo.constData()) == 0 &&
                             ::mkfifo(fifo.constData(), 0644) == 0);
             },
         .act = switchOnWithAFifo,
         .seen = {QStringLiteral("30.wav")},
         .heard = {450.0},
         .silent = {30.0}},
        {.name = "a stopped sound server",
         .act = switchOnUnanswered,
         .seen = {QStringLiteral("PulseAudio サーバーが応答しません")},
         .heard = {},
         .silent = {30.0, 450.0},
         .on = false},
    };
}

class FaultMatrix : public ::testing::TestWithParam<Fault> {
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
    Scene scene;
    QString error;
    ASSERT_TRUE(scene.dir.isValid() && scene.recorder.start(&error)) << error.toStdString();
    probe::SinkRecorder& recorder = scene.recorder;
    testing::copyTones(scene.programDir);
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

INSTANTIATE_TEST_SUITE_P(Faults, FaultMatrix, ::testing::ValuesIn(faults()),
                         [](const ::testing::TestParamInfo<Fault>& info) {
                             QString name = QString::fromUtf8(info.param.name);
                             name.replace(QRegularExpression(QStringLiteral("[^A-Za-z0-9]+")), "_");
                             return name.toStdString();
                         });

} // namespace
} // namespace vemba
