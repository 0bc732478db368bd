// Details of the window that Qt does differently from other desktops unless
// told: Tab into option groups, tool tips of controls inside frames, and
// captions on their frame's line.

#include "QtPrinters.h"
#include "WindowTest.h"

#include <QAbstractButton>
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

TEST_F(WindowDetailsTest, TabReachesEachOptionGroupAtItsSelectedMember) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    // From a control, a key, to where the focus goes; "select" checks a
    // member first, as start-up does from the settings.
    const struct {
        const char* from;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* to;
        const char* select;
    } kSteps[] = {
        {"optMediaMode_1", Qt::Key_Tab, {}, "Option1_1", nullptr},
        {"Option1_1", Qt::Key_Tab, {}, "Option2_1", nullptr},
        {"Option2_1", Qt::Key_Tab, Qt::ShiftModifier, "Option1_1", nullptr},
        {"Option4_0", Qt::Key_Tab, {}, "Slider1", nullptr},
        // The arrow keys move the selection, and Tab follows it.
        {"Option1_1", Qt::Key_Right, {}, "Option1_2", nullptr},
        {"optMediaMode_1", Qt::Key_Tab, {}, "Option1_2", nullptr},
        {"Option2_1", Qt::Key_Tab, {}, "Option3_4", "Option3_4"},
    };
    for (const auto& step : kSteps) {
        SCOPED_TRACE(::testing::Message() << step.from << " -> " << step.to);
        if (step.select != nullptr) {
            qobject_cast<QAbstractButton*>(control(step.select))->setChecked(true);
        }
        control(step.from)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(control(step.from), step.key, step.modifiers);
        EXPECT_EQ(focused(), QString::fromUtf8(step.to));
        if (auto* button = qobject_cast<QAbstractButton*>(control(step.to))) {
            EXPECT_TRUE(button->isChecked());
        }
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
        if (const auto* box = frame->findChild<QCheckBox*>(QString(), Qt::FindDirectChildrenOnly)) {
            // A check box in the caption's place: the line through its middle,
            // broken by the box.
            const QImage image = frame->grab().toImage();
            const int line = topLineRow(image);
            EXPECT_NEAR(line, box->y() + box->height() / 2, 1);
            EXPECT_NE(image.pixelColor(box->geometry().right() - 2, line),
                      image.pixelColor(image.width() - 12, line));
            continue;
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
