// The whole program as a user drives it: the real window, the real engine and
// audio layer, and the null sink of a private sound server (PulseAudio or
// PipeWire), whose monitor is recorded.

#include "FormStyle.h"
#include "MixingAudioLayer.h"
#include "ProgramWindow.h"
#include "QtPrinters.h"
#include "SoundProbe.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>

namespace vemba {
namespace {

constexpr std::size_t kWindow = 24000; // half a second: 300, 900, 1500 Hz fall on exact bins

// The level of a tone in the last half second, in dB re full scale.
double levelAt(const probe::SinkRecorder& recorder, double frequency) {
    return probe::levelAt(recorder.last(kWindow), frequency);
}

// The shown window over the real audio layer, in a program directory with
// the given tone files, and the sink's monitor recording.
class WindowSound : public ::testing::Test {
protected:
    void start(const QStringList& tones) {
        installFormAppearance();
        ASSERT_TRUE(dir.isValid());
        const QDir from(qEnvironmentVariable("VEMBA_PROGRAM_DIR"));
        for (const QString& name : from.entryList(tones)) {
            ASSERT_TRUE(QFile::copy(from.filePath(name), dir.filePath(name)));
        }
        window = std::make_unique<ProgramWindow>(ProgramWindow::Services{dir.path(), &layer});
        window->errors().setShowsMessageBoxes(false);
        QObject::connect(&window->errors(), &ErrorPresenter::reported,
                         [this](const QString& m) { messages << m; });
        window->form().show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&window->form()));
        QString error;
        ASSERT_TRUE(recorder.start(&error)) << error.toStdString();
    }

    QTemporaryDir dir;
    audio::MixingAudioLayer layer{qEnvironmentVariable("VEMBA_PROGRAM_DIR")};
    std::unique_ptr<ProgramWindow> window;
    QStringList messages;
    probe::SinkRecorder recorder;
};

TEST_F(WindowSound, TriangleToneFollowsTheSwitchAndTheSlider) {
    ASSERT_NO_FATAL_FAILURE(start({QStringLiteral("t300.wav")}));
    Form1& form = window->form();
    form.Slider1()->setValue(10);
    QTest::mouseClick(form.Check(2), Qt::LeftButton); // ticked in the design
    QTest::mouseClick(form.Check(3), Qt::LeftButton);
    QTest::mouseClick(form.Option(3, 0), Qt::LeftButton, {}, QPoint(4, 6));
    QTest::mouseClick(form.Option(4, 1), Qt::LeftButton, {}, QPoint(4, 6));
    QTest::mouseClick(form.optMediaMode(0), Qt::LeftButton);
    // Each change is measured over the last half second of a recording long
    // enough for the change to be heard even on a busy machine.
    ASSERT_TRUE(recorder.recordFrames(probe::kRate * 3 / 2));
    ASSERT_EQ(messages, QStringList{});
    QString error;
    ASSERT_TRUE(probe::onRequestedDriver(&error)) << error.toStdString();

    const double fundamental = levelAt(recorder, 300.0);
    EXPECT_GT(fundamental, -20.0) << "the tone is not playing";
    EXPECT_GT(fundamental, levelAt(recorder, 450.0) + 40.0);
    EXPECT_NEAR(levelAt(recorder, 900.0) - fundamental, 20.0 * std::log10(1.0 / 9.0), 1.0);
    EXPECT_NEAR(levelAt(recorder, 1500.0) - fundamental, 20.0 * std::log10(1.0 / 25.0), 1.0);

    form.Slider1()->setFocus();
    form.Slider1()->setValue(5);
    ASSERT_TRUE(recorder.recordFrames(probe::kRate * 5 / 4));
    EXPECT_NEAR(levelAt(recorder, 300.0) - fundamental, -6.02, 0.5);

    QTest::mouseClick(form.optMediaMode(1), Qt::LeftButton);
    ASSERT_TRUE(recorder.recordFrames(probe::kRate * 5 / 4));
    EXPECT_LT(recorder.peakOfLast(probe::kRate / 2), 3.16e-5F) << "OFF is still heard"; // -90 dB
    EXPECT_EQ(messages, QStringList{});
}

// However fast the choices change (a key held down, quick clicks), every
// channel still plays at the end and nothing is reported: a hundred changes a
// second for ten seconds, on the real stream.
TEST_F(WindowSound, QuickChangesLeaveEveryChannelPlaying) {
    ASSERT_NO_FATAL_FAILURE(start({QStringLiteral("*.wav")}));
    Form1& form = window->form();
    for (int channel = 1; channel <= 3; ++channel) {
        form.Check(channel)->setChecked(true);
    }
    form.Slider1()->setValue(10);
    form.optMediaMode(0)->setChecked(true);

    int changes = 0;
    QTimer every10ms;
    every10ms.setTimerType(Qt::PreciseTimer);
    every10ms.callOnTimeout([&] {
        // The wave shape restarts all three channels; a variant one.
        if (changes % 4 == 0) {
            form.Option(4, (changes / 4) % 2)->setChecked(true);
        } else {
            form.Option(changes % 4, changes % 5)->setChecked(true);
        }
        ++changes;
    });
    // For ten seconds, as fast as the window takes them up to a hundred a
    // second (a sanitizer build loads each tone file more slowly).
    every10ms.start(10);
    QTest::qWait(10000);
    every10ms.stop();
    ASSERT_GT(changes, 0);
    // Sine; 30 Hz, 5 kHz and 450 Hz.
    for (const auto& [array, member] : {std::pair{4, 0}, {1, 1}, {2, 0}, {3, 1}}) {
        form.Option(array, member)->setChecked(true);
    }
    // A second and a half of wall time after the last change: what parec
    // sent during the ten seconds is taken first, and counting frames alone
    // would end the wait at once, before the last change could be heard.
    ASSERT_TRUE(recorder.recordFor(1500));
    EXPECT_TRUE(messages.isEmpty())
        << messages.size() << " messages, the first: " << messages.value(0).toStdString();
    EXPECT_TRUE(form.optMediaMode(0)->isChecked());
    for (double tone : {30.0, 5000.0, 450.0}) {
        EXPECT_GT(levelAt(recorder, tone), -40.0) << tone << " Hz is not heard";
    }
}

} // namespace
} // namespace vemba
