#pragma once

#include "HelpViewer.h"

#include <QApplication>

namespace vemba::testing {

// The help viewers on the screen now, minimized ones too.
inline QList<HelpViewer*> shownHelpViewers() {
    QList<HelpViewer*> found;
    for (QWidget* widget : QApplication::topLevelWidgets()) {
        if (auto* viewer = dynamic_cast<HelpViewer*>(widget); viewer && widget->isVisible()) {
            found << viewer;
        }
    }
    return found;
}

} // namespace vemba::testing
