#pragma once

// Checks a window built from its layout table: rules every row keeps, and
// the look of a few controls as the design gives it.

#include "ControlRow.h"
#include "FormBuilder.h"

#include <QAbstractButton>
#include <QGroupBox>
#include <QLabel>
#include <cmath>
#include <gtest/gtest.h>
#include <set>
#include <span>

namespace vemba::testing {

inline QString captionOf(const QWidget& w) {
    if (const auto* box = qobject_cast<const QGroupBox*>(&w)) {
        return box->title();
    }
    if (const auto* button = qobject_cast<const QAbstractButton*>(&w)) {
        return button->text();
    }
    const auto* label = qobject_cast<const QLabel*>(&w);
    return label != nullptr ? label->text() : QString();
}

// Every row one widget of a name of its own, in its container and wholly
// inside it, overlapping none of its siblings (the design lets a caption's
// box run a pixel into the next); every tab index once. Lines run across
// whatever they separate.
inline void expectWellFormed(const QWidget& client, std::span<const ControlRow> rows) {
    std::set<QString> names;
    std::set<int> tabs;
    for (const ControlRow& row : rows) {
        const QString name = FormBuilder::controlName(row.name, row.index);
        SCOPED_TRACE(name.toStdString());
        EXPECT_TRUE(names.insert(name).second) << "a second control of this name";
        auto* w = client.findChild<QWidget*>(name);
        ASSERT_NE(w, nullptr);
        if (row.kind == ControlKind::Line) {
            continue;
        }
        EXPECT_TRUE(tabs.insert(row.tab).second) << "tab index " << row.tab << " twice";
        const QWidget* parent = w->parentWidget();
        EXPECT_EQ(parent->objectName(),
                  row.container != nullptr ? row.container : client.objectName());
        EXPECT_TRUE(parent->rect().contains(w->geometry())) << "outside its container";
        for (const ControlRow& other : rows) {
            const auto* o =
                client.findChild<QWidget*>(FormBuilder::controlName(other.name, other.index));
            if (o != nullptr && o != w && other.kind != ControlKind::Line &&
                o->parentWidget() == parent) {
                const QRect both = o->geometry() & w->geometry();
                EXPECT_TRUE(both.width() <= 1 || both.height() <= 1)
                    << "overlaps " << o->objectName().toStdString();
            }
        }
    }
}

// A control as the design has it: container ("" for the client area),
// caption, and place and size in twips.
struct DesignedControl {
    const char* name;
    const char* container;
    const char* caption;
    int left, top, width, height;
};

inline void expectDesigned(const QWidget& client, std::span<const DesignedControl> controls) {
    const auto px = [](int twips) { return static_cast<int>(std::lround(twips / 15.0)); };
    for (const DesignedControl& c : controls) {
        SCOPED_TRACE(c.name);
        const auto* w = client.findChild<QWidget*>(c.name);
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget() == &client ? QString() : w->parentWidget()->objectName(),
                  c.container);
        EXPECT_EQ(captionOf(*w), QString::fromUtf8(c.caption));
        EXPECT_EQ(w->geometry(), QRect(px(c.left), px(c.top), px(c.width), px(c.height)));
    }
}

} // namespace vemba::testing
