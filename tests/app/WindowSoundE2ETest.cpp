// The whole program as a user drives it: the real window, the real engine and
// audio layer, and the null sink of a private sound server (PulseAudio or
// PipeWire), whose monitor is recorded. ON, OFF and the faults a user meets
// FaultMatrixTest and WaylandSessionTest hear; the volume OutputE2ETest.

#include "ModuleAudioLayer.h"
#include "QtPrinters.h"
#include "SoundProbe.h"
#include "WindowTest.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QSlider>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

namespace vemba {
namespace {

// However fast the choices change (a key held down, quick clicks), every
// channel still plays at the end and nothing is reported: a hundred changes a
// second for ten seconds, on the real stream.
TEST(WindowSound, QuickChangesLeaveEveryChannelPlaying) {
    installFormAppearance();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_NO_FATAL_FAILURE(testing::copyTones(dir.path()));
    audio::ModuleAudioLayer layer{qEnvironmentVariable("VEMBA_PROGRAM_DIR")};
    ProgramWindow window(ProgramWindow::Services{dir.path(), &layer});
    QStringList messages;
    testing::collectMessages(window, messages);
    Form1& form = window.form();
    form.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));
    probe::SinkRecorder recorder;
    QString error;
    ASSERT_TRUE(recorder.start(&error)) << error.toStdString();
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
    EXPECT_TRUE(probe::onRequestedDriver(&error)) << error.toStdString();
    EXPECT_TRUE(messages.isEmpty())
        << messages.size() << " messages, the first: " << messages.value(0).toStdString();
    EXPECT_TRUE(form.optMediaMode(0)->isChecked());
    for (double tone : {30.0, 5000.0, 450.0}) {
        EXPECT_GT(probe::levelAt(recorder.last(24000), tone), -40.0) << tone << " Hz is not heard";
    }
}

} // namespace
} // namespace vemba
