#include "FormStyle.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>
#include <QWidget>

namespace vemba {

FormStyle::FormStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void FormStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                   QPainter* painter, const QWidget* widget) const {
    // Fusion draws a frame's caption in the frame's text colour, which its
    // children would inherit; the caption colour is therefore kept apart.
    if (control == CC_GroupBox && widget != nullptr) {
        const QVariant color = widget->property("captionColor");
        if (color.isValid()) {
            if (const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option)) {
                QStyleOptionGroupBox colored(*box);
                colored.palette.setColor(QPalette::WindowText, color.value<QColor>());
                QProxyStyle::drawComplexControl(control, &colored, painter, widget);
                return;
            }
        }
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

int FormStyle::pixelMetric(PixelMetric metric, const QStyleOption* option,
                           const QWidget* widget) const {
    switch (metric) {
    case PM_ExclusiveIndicatorWidth:
    case PM_ExclusiveIndicatorHeight:
    case PM_IndicatorWidth:
    case PM_IndicatorHeight:
        return 12;
    default:
        return QProxyStyle::pixelMetric(metric, option, widget);
    }
}

} // namespace vemba

namespace vemba {

void installFormAppearance() {
    QApplication::setStyle(new FormStyle);
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(12);
    QApplication::setFont(font);
}

} // namespace vemba
