// The main window as it stands before start-up: built from its layout table,
// focus in the table's tab order, a fixed size.

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

namespace vemba {
namespace {

class FormLayoutTest : public testing::WindowTest {};

TEST_F(FormLayoutTest, EveryControlStandsAsItsRowSays) {
    testing::expectBuiltFromRows(*form->centralWidget(), formControls(), formToolTips());
}

TEST_F(FormLayoutTest, FocusFollowsTheTabOrderAndStartsOnOff) {
    const auto widget = [this](const ControlRow& row) {
        return form->findChild<QWidget*>(FormBuilder::controlName(row.name, row.index));
    };
    std::vector<ControlRow> rows(formControls().begin(), formControls().end());
    std::erase_if(rows,
                  [&](const ControlRow& r) { return widget(r)->focusPolicy() == Qt::NoFocus; });
    ASSERT_EQ(rows.size(), 23U) << "frames, labels and preview boxes take no focus";
    std::sort(rows.begin(), rows.end(), [](const auto& a, const auto& b) { return a.tab < b.tab; });
    for (std::size_t i = 0; i + 1 < rows.size(); ++i) {
        QWidget* next = widget(rows[i])->nextInFocusChain();
        while (next->focusPolicy() == Qt::NoFocus) {
            next = next->nextInFocusChain();
        }
        EXPECT_EQ(next, widget(rows[i + 1]));
    }
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
