#pragma once

#include "ControlRow.h"

#include <QString>
#include <map>
#include <span>

class QButtonGroup;
class QWidget;

namespace vemba {

// Widgets made from a layout table inside a client area: every row becomes
// one widget named after it ("Option1_3" for member 3 of "Option1"), placed
// in twips, in the table's tab order. Option buttons of the same name form
// one exclusive group whose ids are their member indexes.
class FormBuilder {
public:
    static std::map<QString, QButtonGroup*> build(QWidget* client,
                                                  std::span<const ControlRow> controls,
                                                  std::span<const ToolTipRow> toolTips);

    // The widget name of a row: its name, and its member index in an array.
    static QString controlName(const char* name, int index);
};

} // namespace vemba
