#pragma once

#include <QProxyStyle>

namespace vemba {

// Fusion, so that the fixed layout looks the same on every desktop, with two
// additions the window needs: a frame caption may carry its own colour (the
// widget's "captionColor" property), and the selection markers fit the
// 12-pixel-high option buttons.
class FormStyle : public QProxyStyle {
public:
    FormStyle();

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option,
                            QPainter* painter, const QWidget* widget) const override;
    int pixelMetric(PixelMetric metric, const QStyleOption* option,
                    const QWidget* widget) const override;
};

} // namespace vemba

namespace vemba {

// The look the window's fixed layout was drawn for: FormStyle and a Japanese
// user-interface font whose line height fits the 12-pixel option buttons.
void installFormAppearance();

} // namespace vemba
