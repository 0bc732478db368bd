// The main window as it stands before start-up: every control in its place
// by the rules of its table, a few as the design draws them, focus in the
// table's tab order, a fixed size.

#include "FormLayout.h"

#include "BuiltForm.h"
#include "QtPrinters.h"
#include "WindowTest.h"

#include <QAction>
#include <QMenu>
#include <QMenuBar>
#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace vemba {
namespace {

class FormLayoutTest : public testing::WindowTest {};

TEST_F(FormLayoutTest, EveryControlStandsInItsContainerAndSomeAsDesigned) {
    testing::expectWellFormed(*form->centralWidget(), formControls());
    const testing::DesignedControl kDesigned[] = {
        {"Frame1", "", "メスの蚊を寄せ付けない", 0, 0, 5775, 1695},
        {"Check2", "Frame4", "オスの蚊の羽音", 120, 0, 1575, 255},
        {"Option3_4", "Frame6", "スイープ", 4440, 360, 975, 180},
        {"optMediaMode_1", "Frame2", "OFF", 1560, 240, 975, 255},
        {"Slider1", "", "", 840, 3600, 4815, 255},
    };
    testing::expectDesigned(*form->centralWidget(), kDesigned);

    // How the caption colour is painted WindowDetailsTest shows, the lamp's
    // white ControllerTest, the design-time choices StartUpTest.
    for (const char* frame : {"Frame1", "Frame5"}) {
        EXPECT_EQ(control(frame)->property("captionColor").value<QColor>(), QColor(Qt::red));
    }
    EXPECT_EQ(control("Check3")->palette().color(QPalette::WindowText), QColor(Qt::blue));
    EXPECT_EQ(control("Frame5")->toolTip(),
              "血を吸わないオスの蚊を集める音を出します。集まったオスの蚊を駆除すると、次の世代を"
              "壊滅できます。");
    EXPECT_EQ(control("Picture1_1")->toolTip(), "三角波");
    EXPECT_EQ(control("Option1_0")->toolTip(), "");
}

// Every control that takes focus once, in the order of its row's tab index.
TEST_F(FormLayoutTest, FocusFollowsTheTabIndicesAndStartsOnOff) {
    std::map<QString, int> tabs;
    for (const ControlRow& row : formControls()) {
        tabs[FormBuilder::controlName(row.name, row.index)] = row.tab;
    }
    QWidget* w = control("optMediaMode_1");
    std::vector<int> chain;
    for (int hops = 0; hops < 200 && (chain.empty() || w->objectName() != "optMediaMode_1");
         ++hops, w = w->nextInFocusChain()) {
        if (w->focusPolicy() != Qt::NoFocus && tabs.count(w->objectName()) != 0) {
            chain.push_back(tabs[w->objectName()]);
        }
    }
    EXPECT_EQ(chain.size(), 23U);
    EXPECT_TRUE(std::is_sorted(chain.begin(), chain.end()));
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    EXPECT_EQ(QApplication::focusWidget(), control("optMediaMode_1"));
}

TEST_F(FormLayoutTest, WindowHasAFixedSizeAndNoMaximizeButton) {
    const Qt::WindowFlags flags = form->windowFlags();
    EXPECT_TRUE(flags & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & Qt::WindowMaximizeButtonHint);
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    EXPECT_EQ(form->centralWidget()->size(), QSize(389, 270));
    EXPECT_EQ(form->minimumSize(), form->maximumSize());
    EXPECT_EQ(form->windowTitle(), QStringLiteral("ヴェンバPC"));
    EXPECT_EQ(form->windowIcon().actualSize(QSize(64, 64)), QSize(28, 28));

    const QList<QAction*> bar = form->menuBar()->actions();
    ASSERT_EQ(bar.size(), 1);
    EXPECT_EQ(bar[0]->text(), QStringLiteral("ヘルプ(&H)"));
    QStringList items;
    for (QAction* item : bar[0]->menu()->actions()) {
        items << (item->isSeparator() ? QStringLiteral("-") : item->text());
    }
    EXPECT_EQ(items, (QStringList{"目次とキーワード(&C)", "-", "バージョン情報(&A)"}));
}

} // namespace
} // namespace vemba
