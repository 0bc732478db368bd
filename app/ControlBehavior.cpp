#include "ControlBehavior.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QEvent>
#include <QKeyEvent>
#include <QMainWindow>
#include <QToolTip>
#include <QWidget>
#include <algorithm>

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

// The arrow keys select the previous (Left, Up) or next (Right, Down) member
// of the focused button's group, round from one end to the other, as a click
// on it would. Qt's own arrow keys go by position on the screen, so Up and
// Down find nothing in a row and the ends do not wrap.
class ArrowKeySelection : public QObject {
public:
    explicit ArrowKeySelection(QButtonGroup& group) : QObject(&group), m_group(group) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        if (event->type() != QEvent::KeyPress) {
            return false;
        }
        const auto* key = static_cast<QKeyEvent*>(event);
        if ((key->modifiers() & ~Qt::KeypadModifier) != Qt::NoModifier) {
            return false;
        }
        int step = 0;
        switch (key->key()) {
        case Qt::Key_Left:
        case Qt::Key_Up:
            step = -1;
            break;
        case Qt::Key_Right:
        case Qt::Key_Down:
            step = 1;
            break;
        default:
            return false;
        }
        // Members by index, which is their order in the row.
        QList<QAbstractButton*> members = m_group.buttons();
        std::sort(members.begin(), members.end(), [this](QAbstractButton* a, QAbstractButton* b) {
            return m_group.id(a) < m_group.id(b);
        });
        const qsizetype from = members.indexOf(qobject_cast<QAbstractButton*>(watched));
        if (from < 0 || members.size() < 2) {
            return false;
        }
        const qsizetype count = members.size();
        QAbstractButton* next = members.at((from + step + count) % count);
        next->setFocus(step < 0 ? Qt::BacktabFocusReason : Qt::TabFocusReason);
        if (!next->isChecked()) {
            next->click();
        }
        return true;
    }

private:
    QButtonGroup& m_group;
};

void tabToSelectedMember(QButtonGroup& group) {
    moveTabStop(group);
    QObject::connect(&group, &QButtonGroup::buttonToggled, &group,
                     [&group](QAbstractButton*, bool checked) {
                         if (checked) {
                             moveTabStop(group);
                         }
                     });
}

void selectByArrowKeys(QButtonGroup& group) {
    auto* filter = new ArrowKeySelection(group);
    for (QAbstractButton* button : group.buttons()) {
        button->installEventFilter(filter);
    }
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
        selectByArrowKeys(*group);
    }
    showOwnToolTipsOnly(*window.centralWidget());
}

} // namespace vemba
