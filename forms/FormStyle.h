#pragma once

#include <QProxyStyle>

class QStyleOptionGroupBox;

namespace vemba {

// Fusion, so that the fixed layout looks the same on every desktop, with
// three additions the window needs: a titled frame's caption sits on the
// frame's top line, which is broken behind it; the caption may carry its own
// colour (the widget's "captionColor" property); and the selection markers
// fit the 12-pixel-high option buttons.
class FormStyle : public QProxyStyle {
public:
    FormStyle();

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;

private:
    void drawTitledFrame(const QStyleOptionGroupBox& box, QPainter& painter,
                         const QWidget* widget) const;
};

// A frame's etched border inside `rect`, its top line at row `lineY` and
// broken over `gap` (the caption's place; an empty rect for none).
void drawFrameBorder(QPainter& painter, const QRect& rect, int lineY, const QRect& gap,
                     const QPalette& palette);

} // namespace vemba

namespace vemba {

// The look the window's fixed layout was drawn for: FormStyle and a Japanese
// user-interface font whose line height fits the 12-pixel option buttons.
void installFormAppearance();

} // namespace vemba
