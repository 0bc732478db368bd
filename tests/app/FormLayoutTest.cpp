// The main window as it stands before start-up: every control in its place
// by the rules of its table, focus in the table's tab order.

#include "FormLayout.h"

#include "BuiltForm.h"
#include "QtPrinters.h"
#include "WindowTest.h"

#include <QTest>
#include <algorithm>
#include <gtest/gtest.h>
#include <map>
#include <vector>

namespace vemba {
namespace {

class FormLayoutTest : public testing::WindowTest {};

TEST_F(FormLayoutTest, EveryControlStandsInItsContainerAtItsPlace) {
    testing::expectWellFormed(*form->centralWidget(), formControls());
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

} // namespace
} // namespace vemba
