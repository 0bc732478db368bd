#include "ControlBehavior.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QEvent>
#include <QMainWindow>
#include <QToolTip>
#include <QWidget>

namespace vemba {

namespace {

// Only the selected member is a tab stop; the others still take focus by a
// click or an arrow key. A group with nothing selected keeps every stop.
void moveTabStop(const QButtonGroup& group) {
    const QAbstractButton* selected = group.checkedButton();
    for (QAbstractButton* button : group.buttons()) {
        const bool stop = selected == nullptr || button == selected;
        button->setFocusPolicy(stop ? Qt::StrongFocus : Qt::ClickFocus);
    }
}

// Eats the tool-tip request of a control that has no tool tip of its own,
// which Qt would otherwise pass on to the control's frame.
class OwnToolTipFilter : public QObject {
public:
    using QObject::QObject;

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::ToolTip) {
            return false;
        }
        const auto* widget = qobject_cast<QWidget*>(watched);
        if (widget == nullptr || !widget->toolTip().isEmpty()) {
            return false;
        }
        QToolTip::hideText();
        return true;
    }
};

void tabToSelectedMember(QButtonGroup& group) {
    for (QAbstractButton* button : group.buttons()) {
        // The arrow keys step to members that are no tab stop only between
        // auto-exclusive buttons; the group still decides the exclusion.
        button->setAutoExclusive(true);
    }
    moveTabStop(group);
    QObject::connect(&group, &QButtonGroup::buttonToggled, &group,
                     [&group](QAbstractButton*, bool checked) {
                         if (checked) {
                             moveTabStop(group);
                         }
                     });
}

void showOwnToolTipsOnly(QWidget& root) {
    auto* filter = new OwnToolTipFilter(&root);
    root.installEventFilter(filter);
    for (QWidget* child : root.findChildren<QWidget*>()) {
        child->installEventFilter(filter);
    }
}

} // namespace

void installControlBehavior(QMainWindow& window) {
    for (QButtonGroup* group : window.findChildren<QButtonGroup*>()) {
        tabToSelectedMember(*group);
    }
    showOwnToolTipsOnly(*window.centralWidget());
}

} // namespace vemba
