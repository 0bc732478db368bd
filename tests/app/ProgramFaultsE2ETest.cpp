// Faults from outside while the program plays: a signal to end it, a sound
// server that goes away. The real window, engine and audio layer, wired as
// main() wires them, against the PulseAudio null sink of the test fixture.

#include "FormStyle.h"
#include "ProgramWindow.h"
#include "QtPrinters.h"
#include "QuitSignals.h"
#include "SdlAudioLayer.h"
#include "SoundProbe.h"
#include "Twips.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

namespace vemba {
namespace {

// Peak of the last `frames` frames recorded, in dB re full scale.
double peakDb(const probe::SinkRecorder& recorder, std::size_t frames) {
    const std::vector<float>& s = recorder.samples();
    float peak = 0.0F;
    for (std::size_t i = s.size() - std::min(s.size(), 2 * frames); i < s.size(); ++i) {
        peak = std::max(peak, std::abs(s[i]));
    }
    return 20.0 * std::log10(peak + 1e-30);
}

// Peak of the last millisecond before the recording fell silent, relative to
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
        return *std::max_element(left.begin() + from, left.begin() + to,
                                 [](float a, float b) { return std::abs(a) < std::abs(b); });
    };
    return std::abs(peak(end - kMs, end)) / std::abs(peak(end - 21 * kMs, end - kMs));
}

bool server(const char* command) {
    return probe::pulseFixture(command, qEnvironmentVariable("VEMBA_PULSE_DIR"));
}

// The program in a temporary directory of its own with the built tone files,
// its three channels ticked, its messages collected instead of shown.
class Program {
public:
    Program() {
        installFormAppearance();
        const QDir built(qEnvironmentVariable("VEMBA_PROGRAM_DIR"));
        for (const QString& name : built.entryList({QStringLiteral("*.wav")})) {
            QFile::link(built.filePath(name), dir.filePath(name));
        }
        layer.setFailureListener([this](const QString& m) { window.errors().report(m); });
        layer.setStreamLostListener([this](const QString& m) { window.streamLost(m); });
        window.errors().setShowsMessageBoxes(false);
        QObject::connect(&window.errors(), &ErrorPresenter::reported,
                         [this](const QString& m) { messages << m; });
        window.controller().Form_Load();
        form().show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(&form()));
        for (int channel = 1; channel <= 3; ++channel) {
            form().Check(channel)->setChecked(true);
        }
    }

    Form1& form() { return window.form(); }
    bool on() { return form().optMediaMode(0)->isChecked(); }
    QString settings() {
        QFile file(dir.filePath(QStringLiteral("setting.ini")));
        return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
    }

    QTemporaryDir dir;
    audio::SdlAudioLayer layer;
    ProgramWindow window{{dir.path(), &layer}};
    QStringList messages;
};

class ProgramFaults : public ::testing::Test {
protected:
    void SetUp() override {
        QString error;
        ASSERT_TRUE(recorder.start(&error)) << error.toStdString();
    }
    // Starts the server again if a row left it stopped.
    void TearDown() override {
        if (!server("start")) {
            ADD_FAILURE() << "the sound server did not start again";
        }
    }

    // Records until the sink has had `seconds` more of output.
    void listen(double seconds) {
        ASSERT_TRUE(recorder.recordFrames(static_cast<std::size_t>(seconds * probe::kRate)));
    }
    void switchOn(Program& program) {
        QTest::mouseClick(program.form().optMediaMode(0), Qt::LeftButton);
        listen(1.5);
        ASSERT_GT(peakDb(recorder, probe::kRate / 2), -30.0) << "nothing plays";
    }

    probe::SinkRecorder recorder;
};

TEST_F(ProgramFaults, EachQuitSignalClosesTheWindowTheNormalWayAndEndsTheProgram) {
    // An About box open keeps the program running after its main window closes.
    const struct {
        int signal;
        bool playing;
        bool aboutOpen;
    } rows[] = {{SIGTERM, true, false},
                {SIGINT, true, false},
                {SIGHUP, true, true},
                {SIGTERM, false, true}};
    int row = 0;
    for (const auto& r : rows) {
        SCOPED_TRACE(::testing::Message() << "signal " << r.signal << ", playing " << r.playing
                                          << ", About box " << r.aboutOpen);
        Program program;
        QuitSignals quitSignals;
        QObject::connect(&quitSignals, &QuitSignals::received, &program.form(),
                         [&program] { program.window.quit(); });
        const QPoint place(60 + 20 * row++, 80);
        program.form().move(place);
        if (r.aboutOpen) {
            program.form().MVersion()->trigger();
        }
        if (r.playing) {
            switchOn(program);
        }

        QTimer::singleShot(0, [&r] { ::raise(r.signal); });
        QTimer hang;
        hang.callOnTimeout([] { QCoreApplication::exit(99); });
        hang.start(10000);
        EXPECT_EQ(QApplication::exec(), 0);
        EXPECT_FALSE(program.form().isVisible());
        const auto twips = [](int pixels) { return QString::number(pixels * kTwipsPerPixel); };
        EXPECT_TRUE(program.settings().contains(QStringLiteral("Top=") + twips(place.y())))
            << program.settings().toStdString();
        EXPECT_TRUE(program.settings().contains(QStringLiteral("Left=") + twips(place.x())));
        listen(0.5);
        EXPECT_LT(peakDb(recorder, probe::kRate / 4), -90.0) << "still sounding";
        EXPECT_LT(endingRatio(recorder), 0.3) << "cut off instead of faded out";
        EXPECT_EQ(program.messages, QStringList{});
    }
}

TEST_F(ProgramFaults, ALostServerIsFoundAgainOrTheSwitchGoesBackToOffWithOneMessage) {
    for (const bool comesBack : {true, false}) {
        SCOPED_TRACE(comesBack ? "server back after a second" : "server stays away");
        Program program;
        switchOn(program);
        ASSERT_TRUE(server("stop"));
        if (comesBack) {
            QTest::qWait(1000);
        } else {
            ASSERT_TRUE(QTest::qWaitFor([&] { return !program.messages.isEmpty(); }, 20000));
            EXPECT_FALSE(program.on()) << "the lamp stays red over silence";
        }
        ASSERT_TRUE(server("start"));
        QString error;
        recorder.stop(); // its parec went with the server
        ASSERT_TRUE(recorder.start(&error)) << error.toStdString();
        if (!comesBack) {
            QTest::mouseClick(program.form().optMediaMode(0), Qt::LeftButton);
        }
        // Noticed within two checks, reopened within one more.
        listen(4.0);
        EXPECT_GT(peakDb(recorder, probe::kRate / 2), -30.0) << "silent after the restart";
        EXPECT_TRUE(program.on());
        EXPECT_EQ(program.messages.size(), comesBack ? 0 : 1)
            << program.messages.join(u'\n').toStdString();
    }
}

} // namespace
} // namespace vemba
