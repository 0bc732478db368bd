#include "FormStyle.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QStyleFactory>
#include <QWidget>

namespace vemba {

FormStyle::FormStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

int FormStyle::styleHint(StyleHint hint, const QStyleOption* option, const QWidget* widget,
                         QStyleHintReturn* returnData) const {
    if (hint == SH_GroupBox_TextLabelColor && widget != nullptr) {
        const QVariant color = widget->property("captionColor");
        if (color.isValid()) {
            return static_cast<int>(color.value<QColor>().rgb());
        }
    }
    return QProxyStyle::styleHint(hint, option, widget, returnData);
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
