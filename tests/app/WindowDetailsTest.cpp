// Details of the window that Qt does differently from other desktops unless
// told: the events the handlers rely on, Tab into option groups and arrow
// keys in option rows.

#include "QtPrinters.h"
#include "WindowTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QTest>
#include <gtest/gtest.h>

namespace vemba {
namespace {

class WindowDetailsTest : public testing::WindowTest {};

// Each change of a control's value, by the user or by code, reaches its
// handler once, at once and after the change; no change, no event; exactly
// one member of each group selected.
TEST_F(WindowDetailsTest, EachChangeRaisesItsHandlerOnceAndNoChangeRaisesNothing) {
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
        {"Check3_Click 1", [&] { click(f.Check(3)); }},
        {"Option1_Click 3", [&] { f.Option(1, 3)->setChecked(true); }},
        {"", [&] { click(f.Option(1, 3)); }},
        {"", [&] { f.Option(1, 3)->setChecked(false); }}, // refused
        {"optMediaMode_Click 0", [&] { click(f.optMediaMode(0)); }},
        {"Slider1_Change 3", [&] { key(Qt::Key_PageDown); }},
        {"Slider1_Change 10", [&] { f.Slider1()->setValue(42); }}, // clamped to the end
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

// Tab enters each option group at its selected member. In an option row the
// arrow keys move the selection either way, round from one end to the other,
// each move raising the row's handler once, as a click; Tab follows.
TEST_F(WindowDetailsTest, TabAndArrowKeysMoveFocusAndSelectionAsInADesktop) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    // "select" checks a member first, as start-up does from the settings.
    const struct {
        const char* select;
        const char* from;
        Qt::Key key;
        const char* to;
        const char* raised; // "" none
    } kSteps[] = {
        {nullptr, "Option2_1", Qt::Key_Backtab, "Option1_1", ""},
        {"Option3_4", "Option2_1", Qt::Key_Tab, "Option3_4", ""},
        {"Option1_0", "Option1_0", Qt::Key_Left, "Option1_4", "Option1_Click 4"},
        {nullptr, "Option1_4", Qt::Key_Down, "Option1_0", "Option1_Click 0"},
        {nullptr, "optMediaMode_1", Qt::Key_Down, "optMediaMode_0", "optMediaMode_Click 0"},
    };
    for (const auto& step : kSteps) {
        SCOPED_TRACE(::testing::Message() << step.from << " -> " << step.to);
        if (step.select != nullptr) {
            qobject_cast<QAbstractButton*>(control(step.select))->setChecked(true);
            events.clear();
        }
        control(step.from)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(control(step.from), step.key);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->objectName(), QString::fromUtf8(step.to));
        if (auto* button = qobject_cast<QAbstractButton*>(control(step.to))) {
            EXPECT_TRUE(button->isChecked());
        }
        EXPECT_EQ(std::exchange(events, {}),
                  *step.raised ? QStringList{step.raised} : QStringList{});
    }
}

} // namespace
} // namespace vemba
