// Details of the window that Qt does differently from other desktops unless
// told: Tab into option groups, tool tips of controls inside frames, and
// captions on their frame's line.

#include "FormLayout.h"
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
    void SetUp() override { makeForm(); }

    QWidget* control(const char* name) const { return form->findChild<QWidget*>(name); }
    QString focused() const {
        return QApplication::focusWidget() != nullptr ? QApplication::focusWidget()->objectName()
                                                      : QString();
    }
};

TEST_F(WindowDetailsTest, TabReachesEachOptionGroupAtItsSelectedMember) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form));
    constexpr auto Shift = Qt::ShiftModifier, None = Qt::NoModifier;
    // From a control, a key, to where the focus goes; "select" checks a
    // member first, as start-up does from the settings.
    const struct {
        const char* from;
        Qt::Key key;
        Qt::KeyboardModifiers modifiers;
        const char* to;
        const char* select;
    } kSteps[] = {
        {"optMediaMode_1", Qt::Key_Tab, None, "Option1_1", nullptr},
        {"Option1_1", Qt::Key_Tab, None, "Option2_1", nullptr},
        {"Option2_1", Qt::Key_Tab, Shift, "Option1_1", nullptr},
        {"Option1_1", Qt::Key_Tab, Shift, "optMediaMode_1", nullptr},
        {"Option3_1", Qt::Key_Tab, None, "Option4_0", nullptr},
        {"Option4_0", Qt::Key_Tab, None, "Slider1", nullptr},
        {"Slider1", Qt::Key_Tab, Shift, "Option4_0", nullptr},
        // Space keeps the selection; the arrow keys move it, and Tab follows.
        {"Option1_1", Qt::Key_Space, None, "Option1_1", nullptr},
        {"Option1_1", Qt::Key_Right, None, "Option1_2", nullptr},
        {"Option1_2", Qt::Key_Left, None, "Option1_1", nullptr},
        {"Option1_1", Qt::Key_Right, None, "Option1_2", nullptr},
        {"optMediaMode_1", Qt::Key_Tab, None, "Option1_2", nullptr},
        {"Option2_1", Qt::Key_Tab, None, "Option3_4", "Option3_4"},
    };
    for (const auto& step : kSteps) {
        SCOPED_TRACE(::testing::Message() << step.from << " -> " << step.to);
        if (step.select != nullptr) {
            qobject_cast<QAbstractButton*>(control(step.select))->setChecked(true);
        }
        control(step.from)->setFocus(Qt::OtherFocusReason);
        QTest::keyClick(control(step.from), step.key, step.modifiers);
        EXPECT_EQ(focused(), QString::fromUtf8(step.to));
        if (auto* button = qobject_cast<QAbstractButton*>(control(step.to));
            button != nullptr && button->group() != nullptr) {
            EXPECT_EQ(button->group()->checkedButton(), button);
        }
    }
    EXPECT_TRUE(form->Option(1, 2)->isChecked());
}

TEST_F(WindowDetailsTest, OnlyControlsWithATipShowOne) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    QHash<QString, QString> tips;
    for (const ToolTipRow& row : formToolTips()) {
        const QString name = QString::fromUtf8(row.name);
        tips.insert(row.index >= 0 ? QStringLiteral("%1_%2").arg(name).arg(row.index) : name,
                    QString::fromUtf8(row.text));
    }
    // Controls without a tip first, while no tip is up yet.
    QList<QWidget*> controls = form->centralWidget()->findChildren<QWidget*>();
    std::stable_partition(controls.begin(), controls.end(),
                          [&](QWidget* w) { return !tips.contains(w->objectName()); });
    for (QWidget* w : controls) {
        SCOPED_TRACE(w->objectName().toStdString());
        const QPoint inside(w->width() / 2, w->height() - 2);
        QHelpEvent event(QEvent::ToolTip, inside, w->mapToGlobal(inside));
        QApplication::sendEvent(w, &event);
        const QString expected = tips.value(w->objectName());
        EXPECT_EQ(QToolTip::isVisible(), !expected.isEmpty());
        if (!expected.isEmpty()) {
            EXPECT_EQ(QToolTip::text(), expected);
        }
    }
}

bool isCaption(QColor c) {
    return c.red() > c.green() + 60 && c.red() > c.blue() + 60;
}

// The frame's top line: the first row that differs from the top one, looked
// for near the frame's right end, clear of any caption.
int topLineRow(const QImage& image) {
    const int x = image.width() - 12;
    const QColor background = image.pixelColor(x, 0);
    for (int y = 1; y < image.height(); ++y) {
        if (image.pixelColor(x, y) != background) {
            return y;
        }
    }
    return -1;
}

TEST_F(WindowDetailsTest, CaptionsSitOnTheirFramesBrokenLine) {
    form->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(form));
    for (const ControlRow& row : formControls()) {
        auto* frame = qobject_cast<QGroupBox*>(control(row.name));
        if (frame == nullptr || row.kind == ControlKind::UntitledFrame) {
            continue;
        }
        SCOPED_TRACE(row.name);
        // Red, whatever its own colour, to tell the caption from the rest.
        frame->setProperty("captionColor", QColor(Qt::red));
        const QImage image = frame->grab().toImage();
        int top = image.height(), bottom = -1, left = image.width(), right = -1;
        for (int y = 0; y < 20; ++y) {
            for (int x = 0; x < image.width(); ++x) {
                if (isCaption(image.pixelColor(x, y))) {
                    top = std::min(top, y), bottom = std::max(bottom, y);
                    left = std::min(left, x), right = std::max(right, x);
                }
            }
        }
        ASSERT_GE(bottom, 0);
        const int line = topLineRow(image);
        EXPECT_GE(line, top);
        EXPECT_LE(line, bottom);
        const QColor lineColor = image.pixelColor(image.width() - 12, line);
        EXPECT_EQ(image.pixelColor(left / 2, line), lineColor);
        int lineBehindCaption = 0;
        for (int x = left - 1; x <= right + 1; ++x) {
            lineBehindCaption += image.pixelColor(x, line) == lineColor ? 1 : 0;
        }
        EXPECT_EQ(lineBehindCaption, 0);
    }
    // A check box in the caption's place: the line through its middle.
    for (const char* name : {"Frame3", "Frame4", "Frame6"}) {
        SCOPED_TRACE(name);
        QWidget* frame = control(name);
        const QWidget* box = frame->findChild<QCheckBox*>();
        const int middle = box->y() + box->height() / 2;
        EXPECT_NEAR(topLineRow(frame->grab().toImage()), middle, 1);
    }
}

} // namespace
} // namespace vemba
