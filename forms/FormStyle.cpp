#include "FormStyle.h"

#include <QApplication>
#include <QColor>
#include <QFont>
#include <QPainter>
#include <QStyleFactory>
#include <QStyleOptionGroupBox>
#include <QWidget>

namespace vemba {

FormStyle::FormStyle() : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion"))) {}

void FormStyle::drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                                   QPainter* painter, const QWidget* widget) const {
    if (control == CC_GroupBox) {
        const auto* box = qstyleoption_cast<const QStyleOptionGroupBox*>(option);
        if (box != nullptr && !box->text.isEmpty() && !(box->subControls & SC_GroupBoxCheckBox)) {
            drawTitledFrame(*box, *painter, widget);
            return;
        }
    }
    QProxyStyle::drawComplexControl(control, option, painter, widget);
}

void FormStyle::drawTitledFrame(const QStyleOptionGroupBox& box, QPainter& painter,
                                const QWidget* widget) const {
    // The caption's own colour is kept apart from the frame's text colour,
    // which the frame's children would inherit.
    QPalette palette = box.palette;
    if (widget != nullptr) {
        const QVariant color = widget->property("captionColor");
        if (color.isValid()) {
            palette.setColor(QPalette::WindowText, color.value<QColor>());
        }
    }
    // Indented as far as an untitled frame's check box stands (120 twips),
    // the top line through the caption's middle.
    constexpr int kIndent = 8;
    constexpr int kGapMargin = 2;
    const QRect caption(kIndent, 0, box.fontMetrics.horizontalAdvance(box.text),
                        box.fontMetrics.height());
    drawFrameBorder(painter, box.rect, caption.center().y(),
                    caption.adjusted(-kGapMargin, 0, kGapMargin, 0), palette);
    proxy()->drawItemText(&painter, caption, Qt::AlignLeft | Qt::AlignVCenter, palette,
                          (box.state & State_Enabled) != 0, box.text, QPalette::WindowText);
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

void drawFrameBorder(QPainter& painter, const QRect& rect, int lineY, const QRect& gap,
                     const QPalette& palette) {
    painter.save();
    QRegion area(rect);
    if (!gap.isEmpty()) {
        area -= QRegion(gap);
    }
    painter.setClipRegion(area, Qt::IntersectClip);
    painter.setBrush(Qt::NoBrush);
    // A shadow line with a light one below and right of it: an etched edge.
    const QRect outline(rect.left(), lineY, rect.width() - 2, rect.bottom() - 1 - lineY);
    painter.setPen(palette.color(QPalette::Mid));
    painter.drawRect(outline);
    painter.setPen(palette.color(QPalette::Light));
    painter.drawRect(outline.translated(1, 1));
    painter.restore();
}

} // namespace vemba

namespace vemba {

void installFormAppearance() {
    QApplication::setStyle(new FormStyle);
    // The Windows font that a design may name is not on Linux; IPA P Gothic
    // has its metrics.
    QFont::insertSubstitution(QStringLiteral("ＭＳ Ｐゴシック"), QStringLiteral("IPAPGothic"));
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(12);
    QApplication::setFont(font);
}

} // namespace vemba
