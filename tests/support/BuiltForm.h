#pragma once

// Checks a window built from its layout table: the rules every row keeps.

#include "ControlRow.h"
#include "FormBuilder.h"

#include <QWidget>
#include <cmath>
#include <gtest/gtest.h>
#include <set>
#include <span>

namespace vemba::testing {

// Every row one widget of a name of its own, in its container at the row's
// place (15 twips a pixel) and wholly inside it, overlapping none of its siblings (the design lets
// a caption's box run a pixel into the next); every tab index once. Lines run across whatever they
// separate.
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
        const auto px = [](int twips) { return static_cast<int>(std::lround(twips / 15.0)); };
        EXPECT_EQ(w->geometry(), QRect(px(row.left), px(row.top), px(row.width), px(row.height)));
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

} // namespace vemba::testing
