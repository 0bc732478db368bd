#include "FormBuilder.h"

#include "Colors.h"
#include "FormWidgets.h"
#include "Twips.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QShortcut>
#include <QSlider>
#include <algorithm>
#include <vector>

namespace vemba {

namespace {

QString text(const char* utf8) {
    return utf8 != nullptr ? QString::fromUtf8(utf8) : QString();
}

void setPaletteColor(QWidget* widget, QPalette::ColorRole role, std::uint32_t bgr) {
    QPalette palette = widget->palette();
    palette.setColor(role, colorFromBgr(bgr));
    widget->setPalette(palette);
}

QButtonGroup* groupOf(std::map<QString, QButtonGroup*>& groups, QWidget* client, const char* name) {
    QButtonGroup*& group = groups[text(name)];
    if (group == nullptr) {
        group = new QButtonGroup(client);
        group->setObjectName(text(name));
    }
    return group;
}

QWidget* makeFrame(const ControlRow& row, QWidget* parent) {
    auto* frame = new QGroupBox(text(row.caption), parent);
    if (row.foreColor) {
        // Kept apart from the palette, which the frame's children would inherit.
        frame->setProperty("captionColor", colorFromBgr(*row.foreColor));
    }
    return frame;
}

QWidget* makeCheckBox(const ControlRow& row, QWidget* parent) {
    auto* box = new QCheckBox(text(row.caption), parent);
    box->setChecked(row.value == 1);
    // Opaque, so that it covers the frame's top edge like a caption.
    box->setAutoFillBackground(true);
    if (row.foreColor) {
        setPaletteColor(box, QPalette::WindowText, *row.foreColor);
    }
    return box;
}

// An option button or a push button that stays down, in the group its name makes.
QWidget* makeOption(const ControlRow& row, QWidget* parent,
                    std::map<QString, QButtonGroup*>& groups, QWidget* client) {
    QAbstractButton* button = nullptr;
    if (row.kind == ControlKind::OptionButton) {
        button = new QRadioButton(text(row.caption), parent);
    } else {
        button = new QPushButton(text(row.caption), parent);
        button->setCheckable(true);
    }
    button->setChecked(row.value == 1);
    groupOf(groups, client, row.name)->addButton(button, row.index);
    return button;
}

QWidget* makeImageBox(QWidget* parent) {
    auto* image = new QLabel(parent);
    image->setFrameStyle(QFrame::Panel | QFrame::Sunken);
    image->setLineWidth(2);
    image->setAlignment(Qt::AlignCenter);
    return image;
}

QWidget* makeCommandButton(const ControlRow& row, QWidget* parent) {
    auto* button = new QPushButton(text(row.caption), parent);
    button->setDefault((row.flags & DefaultButton) != 0);
    if ((row.flags & CancelButton) != 0) {
        auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), button);
        QObject::connect(escape, &QShortcut::activated, button, &QPushButton::click);
    }
    return button;
}

QWidget* makeLabel(const ControlRow& row, QWidget* parent) {
    auto* label = new QLabel(text(row.caption), parent);
    if (row.foreColor) {
        setPaletteColor(label, QPalette::WindowText, *row.foreColor);
    }
    if (row.backColor) {
        // A filled label is a lamp: a square of colour with a thin border.
        label->setAutoFillBackground(true);
        label->setFrameShape(QFrame::Box);
        label->setLineWidth(1);
        setPaletteColor(label, QPalette::Window, *row.backColor);
    }
    return label;
}

QWidget* makeSlider(const ControlRow& row, QWidget* parent) {
    auto* slider = new QSlider(Qt::Horizontal, parent);
    slider->setRange(0, 10);
    slider->setSingleStep(1);
    slider->setPageStep(2);
    slider->setTickPosition(QSlider::TicksBelow);
    slider->setTickInterval(1);
    slider->setValue(row.value);
    return slider;
}

QWidget* makeWidget(const ControlRow& row, QWidget* parent,
                    std::map<QString, QButtonGroup*>& groups, QWidget* client) {
    switch (row.kind) {
    case ControlKind::Frame:
        return makeFrame(row, parent);
    case ControlKind::UntitledFrame:
        return new UntitledFrame(parent);
    case ControlKind::CheckBox:
        return makeCheckBox(row, parent);
    case ControlKind::OptionButton:
    case ControlKind::PushOption:
        return makeOption(row, parent, groups, client);
    case ControlKind::PictureBox:
        return new PictureBox(parent);
    case ControlKind::ImageBox:
        return makeImageBox(parent);
    case ControlKind::CommandButton:
        return makeCommandButton(row, parent);
    case ControlKind::Line:
        return new LineWidget(colorFromBgr(row.foreColor.value_or(0)), parent);
    case ControlKind::Label:
        return makeLabel(row, parent);
    case ControlKind::Slider:
        return makeSlider(row, parent);
    }
    return nullptr;
}

} // namespace

QString FormBuilder::controlName(const char* name, int index) {
    return index >= 0 ? QStringLiteral("%1_%2").arg(text(name)).arg(index) : text(name);
}

std::map<QString, QButtonGroup*> FormBuilder::build(QWidget* client,
                                                    std::span<const ControlRow> controls,
                                                    std::span<const ToolTipRow> toolTips) {
    std::map<QString, QButtonGroup*> groups;
    std::map<QString, QWidget*> containers;
    std::vector<std::pair<int, QWidget*>> byTab;
    for (const ControlRow& row : controls) {
        QWidget* parent = row.container != nullptr ? containers.at(text(row.container)) : client;
        QWidget* widget = makeWidget(row, parent, groups, client);
        widget->setObjectName(controlName(row.name, row.index));
        if (row.index >= 0) {
            widget->setProperty("Index", row.index);
        }
        widget->setProperty("TabIndex", row.tab);
        widget->setGeometry(
            row.kind == ControlKind::Line
                ? LineWidget::area(twipsRect(row.left, row.top, row.width, row.height), row.value)
                : twipsRect(row.left, row.top, row.width, row.height));
        if (row.font != nullptr) {
            QFont font(text(row.font->family));
            font.setPointSizeF(row.font->points);
            font.setBold(row.font->bold);
            widget->setFont(font);
        }
        if (row.kind == ControlKind::Frame || row.kind == ControlKind::UntitledFrame) {
            containers[text(row.name)] = widget;
        }
        byTab.emplace_back(row.tab, widget);
    }

    std::sort(byTab.begin(), byTab.end(),
              [](const auto& a, const auto& b) { return a.first < b.first; });
    QWidget* previous = nullptr;
    for (const auto& [tab, widget] : byTab) {
        if (widget->focusPolicy() == Qt::NoFocus) {
            continue;
        }
        if (previous != nullptr) {
            QWidget::setTabOrder(previous, widget);
        }
        previous = widget;
    }

    // A frame without a caption is known by the check box that stands in its
    // caption's place, not by the caption of the frame around it.
    for (QGroupBox* frame : client->findChildren<QGroupBox*>()) {
        const auto* box = frame->findChild<QCheckBox*>(QString(), Qt::FindDirectChildrenOnly);
        if (dynamic_cast<UntitledFrame*>(frame) != nullptr && box != nullptr) {
            frame->setAccessibleName(box->text());
        }
    }

    for (const ToolTipRow& tip : toolTips) {
        if (auto* widget = client->findChild<QWidget*>(controlName(tip.name, tip.index))) {
            widget->setToolTip(text(tip.text));
        }
    }
    return groups;
}

} // namespace vemba
