// The program in a Wayland session (a headless Weston, tests/support/
// weston-fixture) playing through PipeWire: started the way main() starts it,
// on the platform it picks there (Wayland itself, or X11 through XWayland
// when DISPLAY is set as well), switched ON and OFF from its window and closed.

#include "ProgramStart.h"
#include "QtPrinters.h"
#include "SoundProbe.h"
#include "WindowPlacement.h"
#include "WindowTest.h"
#include "iniEdit.h"

#include <QAbstractButton>
#include <QApplication>
#include <QFile>
#include <QTest>
#include <dlfcn.h>
#include <gtest/gtest.h>

namespace vemba {
namespace {

constexpr std::size_t kWindow = 24000;

// The strongest tone of the last half second, after recording long enough for
// a change to be heard even on a busy machine.
probe::Tone heard(probe::SinkRecorder& recorder) {
    recorder.recordFrames(probe::kRate * 3 / 2);
    return probe::dominantTone(recorder.last(kWindow));
}

TEST(WaylandSession, TheWindowOpensOnTheSessionsPlatformPlaysAndKeepsOnlyAPlaceItKnows) {
    const QString platform = qEnvironmentVariable("VEMBA_EXPECTED_PLATFORM");
    ASSERT_EQ(QGuiApplication::platformName(), platform);
    // Wayland hides where a window is; through XWayland the program can tell.
    const bool placeable = platform == QStringLiteral("xcb");
    ASSERT_EQ(placement::canPlaceWindows(), placeable);

    installFormAppearance();
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    ASSERT_NO_FATAL_FAILURE(testing::copyTones(dir.path(), {QStringLiteral("7500.wav")}));
    // 1500 twips: 100 pixels from the screen's top left corner.
    for (const char* key : {"Top", "Left"}) {
        ASSERT_TRUE(iniEdit::WriteSetting(dir.path(), QStringLiteral("Position"),
                                          QString::fromLatin1(key), QStringLiteral("1500"))
                        .ok());
    }

    Program program(dir.path(), qEnvironmentVariable("VEMBA_PROGRAM_DIR"));
    Form1& form = program.window().form();
    QStringList messages;
    testing::collectMessages(program.window(), messages);
    program.start();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form));

    probe::SinkRecorder recorder;
    QString error;
    ASSERT_TRUE(recorder.start(&error)) << error.toStdString();
    // The design's choice: channel 2 at 7.5 kHz.
    QTest::mouseClick(form.optMediaMode(0), Qt::LeftButton);
    const probe::Tone on = heard(recorder);
    EXPECT_NEAR(on.frequency, 7500.0, 10.0);
    EXPECT_GT(on.levelDb, -20.0) << "ON is not heard";
    ASSERT_TRUE(probe::onRequestedDriver(&error)) << error.toStdString();
    QTest::mouseClick(form.optMediaMode(1), Qt::LeftButton);
    EXPECT_LT(heard(recorder).levelDb, -90.0) << "OFF is still heard";
    EXPECT_EQ(messages, QStringList{});

    // Through XWayland the window goes where it was and is stored there
    // again; under Wayland the stored place is kept, not overwritten with
    // the 0, 0 that Qt reports.
    if (placeable) {
        EXPECT_EQ(form.pos(), QPoint(100, 100));
    }
    ASSERT_TRUE(form.close());
    for (const char* key : {"Top", "Left"}) {
        EXPECT_EQ(
            iniEdit::ReadSetting(dir.path(), QStringLiteral("Position"), QString::fromLatin1(key)),
            QStringLiteral("1500"))
            << key;
    }
}

} // namespace
} // namespace vemba

int main(int argc, char** argv) {
    // XWayland's display number is known only once Weston runs.
    QFile display(qEnvironmentVariable("VEMBA_XWAYLAND_DISPLAY_FILE"));
    if (display.open(QIODevice::ReadOnly)) {
        qputenv("DISPLAY", display.readAll().trimmed());
    }
    vemba::placement::preferPlaceableWindows();
    // Qt's Wayland EGL integration has libglvnd unload Mesa's EGL driver as
    // the application goes; what Mesa keeps for the life of the process then
    // looks lost to LeakSanitizer. Pinned, it stays where the check sees it.
    dlopen("libEGL_mesa.so.0", RTLD_NOW | RTLD_NODELETE);
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
