// Details of the window that Qt does differently from other desktops unless
// told: the events the handlers rely on, Tab into option groups, tool tips of
// controls inside frames, arrow keys in option rows, and captions on their frame's line.

#include "QtPrinters.h"
#include "WindowTest.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QHelpEvent>
#include <QTest>
#include <QToolTip>
#include <gtest/gtest.h>

namespace vemba {
namespace {

class WindowDetailsTest : public testing::WindowTest {
protected:
    QString focused() const {
        return QApplication::focusWidget() != nullptr ? QApplication::focusWidget()->objectName()
                                                      : QString();
    }
};

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
        {"Slider1_Change 7", [&] { f.Slider1()->setValue(7); }},
        {"Slider1_Change 5", [&] { key(Qt::Key_PageDown); }},
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
        {nullptr, "optMediaMode_1", Qt::Key_Tab, "Option1_1", ""},
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
        EXPECT_EQ(focused(), QString::fromUtf8(step.to));
        if (auto* button = qobject_cast<QAbstractButton*>(control(step.to))) {
            EXPECT_TRUE(button->isChecked());
        }
        EXPECT_EQ(std::exchange(events, {}),
                  *step.raised ? QStringList{step.raised} : QStringList{});
    }
}

TEST_F(WindowDetailsTest, OnlyControlsWithATipShowOne) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    // Controls without a tip first, while no tip is up yet; none shows its frame's.
    QList<QWidget*> controls = form->centralWidget()->findChildren<QWidget*>();
    std::stable_partition(controls.begin(), controls.end(),
                          [](QWidget* w) { return w->toolTip().isEmpty(); });
    for (QWidget* w : controls) {
        SCOPED_TRACE(w->objectName().toStdString());
        const QPoint inside(w->width() / 2, w->height() - 2);
        QHelpEvent event(QEvent::ToolTip, inside, w->mapToGlobal(inside));
        QApplication::sendEvent(w, &event);
        EXPECT_EQ(QToolTip::isVisible(), !w->toolTip().isEmpty());
        if (!w->toolTip().isEmpty()) {
            EXPECT_EQ(QToolTip::text(), w->toolTip());
        }
    }
}

// The frame's top line: the first row that differs from the top one, looked
// for near the frame's right end, clear of any caption.
int topLineRow(const QImage& image) {
    const int x = image.width() - 12;
    for (int y = 1; y < image.height(); ++y) {
        if (image.pixelColor(x, y) != image.pixelColor(x, 0)) {
            return y;
        }
    }
    return -1;
}

TEST_F(WindowDetailsTest, CaptionsSitOnTheirFramesBrokenLine) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    for (auto* frame : form->centralWidget()->findChildren<QGroupBox*>()) {
        SCOPED_TRACE(frame->objectName().toStdString());
        if (frame->findChild<QCheckBox*>(QString(), Qt::FindDirectChildrenOnly) != nullptr) {
            continue; // a check box in the caption's place
        }
        // Red, whatever its own colour, to tell the caption from the rest.
        frame->setProperty("captionColor", QColor(Qt::red));
        const QImage red = frame->grab().toImage();
        const int line = topLineRow(red);
        int top = red.height(), bottom = -1, left = red.width(), right = -1;
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < red.width(); ++x) {
                const QColor c = red.pixelColor(x, y);
                if (c.red() > c.green() + 60 && c.red() > c.blue() + 60) {
                    top = std::min(top, y), bottom = std::max(bottom, y);
                    left = std::min(left, x), right = std::max(right, x);
                }
            }
        }
        ASSERT_GE(bottom, 0);
        EXPECT_GE(line, top);
        EXPECT_LE(line, bottom);
        const QColor lineColor = red.pixelColor(red.width() - 12, line);
        EXPECT_EQ(red.pixelColor(left / 2, line), lineColor);
        for (int x = left - 1; x <= right + 1; ++x) {
            EXPECT_NE(red.pixelColor(x, line), lineColor) << "the line runs behind the caption";
        }
    }
}

} // namespace
} // namespace vemba
