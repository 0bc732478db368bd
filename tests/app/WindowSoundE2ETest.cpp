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
#include <QFile>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <cmath>
#include <gtest/gtest.h>

namespace vemba {
namespace {

constexpr std::size_t kWindow = 24000; // half a second: 300, 900, 1500 Hz fall on exact bins

// The level of a tone in the last half second, in dB re full scale.
double levelAt(const probe::SinkRecorder& recorder, double frequency) {
    return probe::levelAt(recorder.last(kWindow), frequency);
}

TEST(WindowSound, TriangleToneFollowsTheSwitchAndTheSlider) {
    installFormAppearance();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString tone = qEnvironmentVariable("VEMBA_PROGRAM_DIR") + QStringLiteral("/t300.wav");
    ASSERT_TRUE(QFile::copy(tone, dir.filePath(QStringLiteral("t300.wav"))))
        << "no " << tone.toStdString();

    audio::MixingAudioLayer layer;
    ProgramWindow window(ProgramWindow::Services{dir.path(), &layer});
    Form1& form = window.form();
    QStringList messages;
    window.errors().setShowsMessageBoxes(false);
    QObject::connect(&window.errors(), &ErrorPresenter::reported,
                     [&messages](const QString& m) { messages << m; });
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    probe::SinkRecorder recorder;
    QString error;
    ASSERT_TRUE(recorder.start(&error)) << error.toStdString();

    form.Slider1()->setValue(10);
    QTest::mouseClick(form.Check(2), Qt::LeftButton); // ticked in the design
    QTest::mouseClick(form.Check(3), Qt::LeftButton);
    QTest::mouseClick(form.Option(3, 0), Qt::LeftButton, {}, QPoint(4, 6));
    QTest::mouseClick(form.Option(4, 1), Qt::LeftButton, {}, QPoint(4, 6));
    ASSERT_FALSE(form.Check(2)->isChecked());
    ASSERT_TRUE(form.Check(3)->isChecked());
    ASSERT_TRUE(form.Option(3, 0)->isChecked());
    ASSERT_TRUE(form.Option(4, 1)->isChecked());
    QTest::mouseClick(form.optMediaMode(0), Qt::LeftButton);
    // Each change is measured over the last half second of a recording long
    // enough for the change to be heard even on a busy machine.
    ASSERT_TRUE(recorder.recordFrames(probe::kRate * 3 / 2));
    ASSERT_EQ(messages, QStringList{});
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

} // namespace
} // namespace vemba
