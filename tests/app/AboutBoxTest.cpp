// The About box as the version item shows it: built by its layout table's rules,
// one box at a time, the ways of closing it, a program that runs on while it
// is open, and a picture as sharp as the screen.

#include "BuiltForm.h"
#include "QtPrinters.h"
#include "WindowTest.h"
#include "frmAbout.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

namespace vemba {
namespace {

class AboutBoxTest : public testing::WindowTest {
protected:
    frmAbout* showAbout() {
        form->MVersion()->trigger();
        frmAbout* box = nullptr;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            box = box != nullptr ? box : qobject_cast<frmAbout*>(w);
        }
        return box;
    }

    static int openBoxes() {
        int n = 0;
        for (QWidget* w : QApplication::topLevelWidgets()) {
            n += qobject_cast<frmAbout*>(w) != nullptr && w->isVisible() ? 1 : 0;
        }
        return n;
    }
};

TEST_F(AboutBoxTest, OneBoxAtATimeAndEveryWayOfClosingItUnloadsIt) {
    const std::pair<const char*, std::function<void(frmAbout&)>> kClosers[] = {
        {"Enter", [](frmAbout& b) { QTest::keyClick(&b, Qt::Key_Return); }},
        {"Esc", [](frmAbout& b) { QTest::keyClick(&b, Qt::Key_Escape); }},
    };
    for (const auto& [name, closeIt] : kClosers) {
        SCOPED_TRACE(name);
        QPointer<frmAbout> box = showAbout();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(showAbout(), box) << "the version item shows the open box";
        EXPECT_EQ(openBoxes(), 1);
        ASSERT_TRUE(QTest::qWaitForWindowActive(box));
        testing::expectWellFormed(*box, aboutControls());
        closeIt(*box);
        EXPECT_EQ(openBoxes(), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return box.isNull(); }));
    }
}

// The box has no taskbar button: minimized, only the menu or the main
// window's closing brings it back. The program runs until it closes too.
TEST_F(AboutBoxTest, AMinimizedBoxComesBackAndTheProgramRunsUntilItCloses) {
    form->show();
    QPointer<frmAbout> box = showAbout();
    ASSERT_NE(box, nullptr);
    box->showMinimized();
    EXPECT_EQ(showAbout(), box);
    EXPECT_FALSE(box->isMinimized());
    EXPECT_TRUE(QTest::qWaitForWindowActive(box));
    box->showMinimized();
    bool boxShownAfterMainClosed = false;
    QTimer::singleShot(0, form, [&] {
        form->close();
        QTimer::singleShot(50, [&] {
            boxShownAfterMainClosed = box != nullptr && box->isVisible() && !box->isMinimized();
            if (box != nullptr) {
                box->cmdOK()->click();
            }
        });
    });
    EXPECT_EQ(runProgram(), 0) << "the program did not end with the About box";
    EXPECT_TRUE(boxShownAfterMainClosed);
}

// The picture is the icon's own pixels at the screen's density, never a
// smaller picture scaled up; about_box_test_2x runs this at twice the density.
TEST_F(AboutBoxTest, ThePictureIsDrawnAtTheScreensDensity) {
    frmAbout* box = showAbout();
    ASSERT_NE(box, nullptr);
    const QPixmap picture = box->findChild<QLabel*>(QStringLiteral("picIcon"))->pixmap();
    EXPECT_EQ(picture.devicePixelRatio(), box->devicePixelRatioF());
    EXPECT_EQ(picture.size(), QSize(28, 28) * box->devicePixelRatioF());
    box->close();
}

} // namespace
} // namespace vemba
