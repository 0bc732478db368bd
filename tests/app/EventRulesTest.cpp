// The window-system rules the handlers rely on: each change of a control's
// value, by the user or by code, reaches its handler once, at once and after
// the change; no change, no event; exactly one member of each group selected.

#include "QtPrinters.h"
#include "WindowTest.h"

#include <QAction>
#include <QTest>
#include <gtest/gtest.h>

namespace vemba {
namespace {

class EventRulesTest : public testing::WindowTest {};

TEST_F(EventRulesTest, EachChangeRaisesItsHandlerOnceAndNoChangeRaisesNothing) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    const auto click = [](QWidget* w) { QTest::mouseClick(w, Qt::LeftButton, {}, QPoint(5, 6)); };
    const auto key = [this](Qt::Key k) {
        form->Slider1()->setFocus();
        QTest::keyClick(form->Slider1(), k);
    };
    Form1& f = *form;
    // The handler call each step raises ("" none), the value as the handler
    // sees it; after each step every group still has one member selected.
    const std::pair<const char*, std::function<void()>> kSteps[] = {
        {"Check1_Click 1", [&] { f.Check(1)->setChecked(true); }},
        {"", [&] { f.Check(1)->setChecked(true); }},
        {"", [&] { f.Check(2)->setChecked(true); }}, // ticked in the design
        {"Check3_Click 1", [&] { click(f.Check(3)); }},
        {"Check3_Click 0", [&] { click(f.Check(3)); }},
        {"Option1_Click 3", [&] { f.Option(1, 3)->setChecked(true); }},
        {"", [&] { f.Option(1, 3)->setChecked(true); }},
        {"", [&] { click(f.Option(1, 3)); }},
        {"", [&] { f.Option(1, 3)->setChecked(false); }}, // refused
        {"Option4_Click 1", [&] { click(f.Option(4, 1)); }},
        {"Option3_Click 4", [&] { f.Option(3, 4)->setChecked(true); }},
        {"Option2_Click 0", [&] { click(f.Option(2, 0)); }},
        {"optMediaMode_Click 0", [&] { click(f.optMediaMode(0)); }},
        {"", [&] { click(f.optMediaMode(0)); }},
        {"optMediaMode_Click 1", [&] { f.optMediaMode(1)->setChecked(true); }},
        {"Slider1_Change 7", [&] { f.Slider1()->setValue(7); }},
        {"", [&] { f.Slider1()->setValue(7); }},
        {"Slider1_Change 8", [&] { key(Qt::Key_Right); }},
        {"Slider1_Change 6", [&] { key(Qt::Key_PageDown); }},
        {"Slider1_Change 10", [&] { f.Slider1()->setValue(42); }}, // clamped to the end
        {"MHelp1_Click", [&] { f.MHelp1()->trigger(); }},
        {"MVersion_Click", [&] { f.MVersion()->trigger(); }},
    };
    for (std::size_t n = 0; n < std::size(kSteps); ++n) {
        SCOPED_TRACE(n);
        const auto& [raised, step] = kSteps[n];
        step();
        EXPECT_EQ(std::exchange(events, {}), *raised ? QStringList{raised} : QStringList{});
        for (const QButtonGroup* group : form->findChildren<QButtonGroup*>()) {
            EXPECT_NE(group->checkedButton(), nullptr) << group->objectName().toStdString();
        }
    }
}

} // namespace
} // namespace vemba
