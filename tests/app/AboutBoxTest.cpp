// The About box as the version item shows it: its controls against the
// design (a copy of the table here, in twips), one box at a time, every way
// of closing it, and a program that runs on while it is open.

#include "QtPrinters.h"
#include "WindowTest.h"
#include "frmAbout.h"

#include <QAction>
#include <QApplication>
#include <QFontInfo>
#include <QLabel>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QTimer>
#include <cmath>
#include <gtest/gtest.h>

namespace vemba {
namespace {

struct Expected {
    const char* object;
    const char* qtClass;
    const char* text;
    int left, top, width, height, tab;
};

const Expected kTable[] = {
    {"picIcon", "QLabel", "", 240, 120, 480, 480, 1},
    {"cmdOK", "QPushButton", "OK", 4320, 1320, 1185, 345, 0},
    {"lblTitle", "QLabel", "ヴェンバPC", 960, 217, 1605, 333, 4},
    {"lblVersion", "QLabel", "Version 1.00", 2880, 290, 1605, 225, 5},
    {"lblDescription", "QLabel", "血を吸うメスの蚊を追い払います。", 1050, 840, 3885, 330, 2},
    {"lblDisclaimer", "QLabel", nullptr, 120, 1320, 4110, 465, 3},
};

int px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

class AboutBoxTest : public testing::WindowTest {
protected:
    void SetUp() override { makeForm(); }

    frmAbout* showAbout() {
        form->MVersion()->trigger();
        auto* box = qobject_cast<frmAbout*>(QApplication::activeModalWidget());
        if (box == nullptr) {
            for (QWidget* w : QApplication::topLevelWidgets()) {
                box = box != nullptr ? box : qobject_cast<frmAbout*>(w);
            }
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

TEST_F(AboutBoxTest, ControlsStandAsDesigned) {
    frmAbout* box = showAbout();
    ASSERT_NE(box, nullptr);
    ASSERT_TRUE(QTest::qWaitForWindowExposed(box));
    for (const Expected& row : kTable) {
        SCOPED_TRACE(row.object);
        auto* w = box->findChild<QWidget*>(row.object);
        ASSERT_NE(w, nullptr);
        EXPECT_TRUE(w->inherits(row.qtClass));
        EXPECT_EQ(w->geometry(), QRect(px(row.left), px(row.top), px(row.width), px(row.height)));
        EXPECT_EQ(w->property("TabIndex").toInt(), row.tab);
        if (row.text != nullptr) {
            const auto* label = qobject_cast<QLabel*>(w);
            EXPECT_EQ(label != nullptr ? label->text() : qobject_cast<QPushButton*>(w)->text(),
                      QString::fromUtf8(row.text));
        }
    }

    const auto* disclaimer = box->findChild<QLabel*>("lblDisclaimer");
    EXPECT_TRUE(QRegularExpression(QStringLiteral("^Copyright \\(C\\) 20\\d\\d\\.[ -~]*$"))
                    .match(disclaimer->text())
                    .hasMatch())
        << "one Latin line with no one's name: " << disclaimer->text().toStdString();

    const QFont title = box->findChild<QLabel*>("lblTitle")->font();
    EXPECT_TRUE(title.bold());
    EXPECT_DOUBLE_EQ(title.pointSizeF(), 14.25);
    EXPECT_EQ(QFontInfo(title).family(), QStringLiteral("IPAPGothic"))
        << "the design's Windows font stands in as IPA P Gothic";
    EXPECT_EQ(box->findChild<QLabel*>("picIcon")->pixmap().size(), QSize(28, 28));
    EXPECT_EQ(box->findChild<QLabel*>("picIcon")->frameShadow(), QFrame::Sunken);
    EXPECT_TRUE(box->cmdOK()->isDefault());
    EXPECT_EQ(QApplication::focusWidget(), box->cmdOK());

    // The etched separator: grey on the line's row, white below it.
    const QImage image = box->grab().toImage();
    EXPECT_EQ(image.pixelColor(200, 80), QColor(0x80, 0x80, 0x80));
    EXPECT_EQ(image.pixelColor(200, 81), QColor(Qt::white));
    EXPECT_EQ(image.pixelColor(370, 80), QColor(0x80, 0x80, 0x80)) << "grey runs 15 twips further";

    EXPECT_EQ(box->windowTitle(), QStringLiteral("ヴェンバPC"));
    EXPECT_EQ(box->geometry(), QRect(156, 129, 374, 123)) << "client area at a fixed place";
    EXPECT_EQ(box->minimumSize(), box->maximumSize());
    const Qt::WindowFlags flags = box->windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Tool) << "no taskbar button";
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(box->parentWidget(), nullptr) << "no owner";
    EXPECT_FALSE(box->isModal());
    EXPECT_EQ(box->windowIcon().cacheKey(), form->windowIcon().cacheKey());
}

TEST_F(AboutBoxTest, OneBoxAtATimeAndEveryWayOfClosingIt) {
    const std::vector<std::pair<const char*, std::function<void(frmAbout&)>>> closers = {
        {"Enter", [](frmAbout& b) { QTest::keyClick(&b, Qt::Key_Return); }},
        {"Esc", [](frmAbout& b) { QTest::keyClick(&b, Qt::Key_Escape); }},
        {"OK", [](frmAbout& b) { QTest::mouseClick(b.cmdOK(), Qt::LeftButton); }},
        {"close box", [](frmAbout& b) { b.close(); }},
    };
    for (const auto& [name, closeIt] : closers) {
        SCOPED_TRACE(name);
        QPointer<frmAbout> box = showAbout();
        ASSERT_NE(box, nullptr);
        EXPECT_EQ(showAbout(), box) << "the version item shows the open box";
        EXPECT_EQ(openBoxes(), 1);
        ASSERT_TRUE(QTest::qWaitForWindowActive(box));
        closeIt(*box);
        EXPECT_EQ(openBoxes(), 0);
        EXPECT_TRUE(QTest::qWaitFor([&] { return box.isNull(); })) << "closing unloads it";
    }
}

TEST_F(AboutBoxTest, ProgramRunsUntilTheAboutBoxClosesToo) {
    form->show();
    QPointer<frmAbout> box = showAbout();
    ASSERT_NE(box, nullptr);
    bool boxOpenAfterMainClosed = false;
    QTimer::singleShot(0, form, [&] {
        form->close();
        QTimer::singleShot(50, [&] {
            boxOpenAfterMainClosed = box != nullptr && box->isVisible();
            if (box != nullptr) {
                box->cmdOK()->click();
            }
        });
    });
    QTimer watchdog;
    watchdog.setSingleShot(true);
    QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
    watchdog.start(5000);
    EXPECT_EQ(QApplication::exec(), 0) << "the program did not end with the About box";
    EXPECT_TRUE(boxOpenAfterMainClosed);
}

} // namespace
} // namespace vemba
