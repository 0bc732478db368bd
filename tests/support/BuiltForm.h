#pragma once

// Checks a window built from its layout table row by row: every row a
// widget in its container, at its place, with its caption, value, colours
// and tool tip.

#include "Colors.h"
#include "ControlRow.h"
#include "FormBuilder.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <QSlider>
#include <cmath>
#include <gtest/gtest.h>
#include <span>

namespace vemba::testing {

inline int px(int twips) {
    return static_cast<int>(std::lround(twips / 15.0));
}

// Whether a frame paints its caption in (about) this colour.
inline bool paintsCaptionIn(QWidget& frame, const QColor& color) {
    const QImage image = frame.grab().toImage();
    for (int y = 0; y < 12; ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (std::abs(c.red() - color.red()) + std::abs(c.green() - color.green()) +
                    std::abs(c.blue() - color.blue()) <
                90) {
                return true;
            }
        }
    }
    return false;
}

inline void expectBuiltFromRows(const QWidget& client, std::span<const ControlRow> rows,
                                std::span<const ToolTipRow> tips) {
    for (const ControlRow& row : rows) {
        const QString name = FormBuilder::controlName(row.name, row.index);
        SCOPED_TRACE(name.toStdString());
        auto* w = client.findChild<QWidget*>(name);
        ASSERT_NE(w, nullptr);
        if (row.kind == ControlKind::Line) {
            continue; // a strip along its span, seen in the window's picture
        }
        EXPECT_EQ(w->parentWidget()->objectName(),
                  row.container != nullptr ? row.container : client.objectName());
        EXPECT_EQ(w->geometry(), QRect(px(row.left), px(row.top), px(row.width), px(row.height)));

        auto* box = qobject_cast<QGroupBox*>(w);
        auto* button = qobject_cast<QAbstractButton*>(w);
        auto* label = qobject_cast<QLabel*>(w);
        const QString caption = box != nullptr      ? box->title()
                                : button != nullptr ? button->text()
                                : label != nullptr  ? label->text()
                                                    : QString();
        EXPECT_EQ(caption, QString::fromUtf8(row.caption));
        if (button != nullptr) {
            EXPECT_EQ(button->isChecked(), row.value == 1);
        }
        if (auto* slider = qobject_cast<QSlider*>(w)) {
            EXPECT_EQ(slider->value(), row.value);
        }
        if (row.foreColor && box != nullptr) {
            EXPECT_TRUE(paintsCaptionIn(*box, colorFromBgr(*row.foreColor)));
        } else if (row.foreColor) {
            EXPECT_EQ(w->palette().color(QPalette::WindowText), colorFromBgr(*row.foreColor));
        }
        if (row.backColor) {
            EXPECT_TRUE(w->autoFillBackground());
            EXPECT_EQ(w->palette().color(QPalette::Window), colorFromBgr(*row.backColor));
        }
        QString tip;
        for (const ToolTipRow& t : tips) {
            tip =
                FormBuilder::controlName(t.name, t.index) == name ? QString::fromUtf8(t.text) : tip;
        }
        EXPECT_EQ(w->toolTip(), tip);
    }
}

} // namespace vemba::testing
