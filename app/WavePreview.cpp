#include "WavePreview.h"

#include "Colors.h"
#include "FormWidgets.h"
#include "Twips.h"

#include <algorithm>
#include <cmath>

namespace vemba {

namespace {

constexpr double kTwipsPerUnitX = 1.375;
constexpr double kTwipsPerUnitY = 100.0;
constexpr double kTopY = -1.2;

} // namespace

void DrawWavePreview(const PreviewPset& pset) {
    // 16-bit counters and the literal 6.28318 rather than 2π: the curves are
    // these exact point sequences (the sine ends just below zero).
    for (std::int16_t b = 0; b <= 360; ++b) {
        pset(0, b, static_cast<float>(std::sin(b * 6.28318 / 360)));
    }
    for (std::int16_t c = 0; c <= 90; ++c) {
        pset(1, c, static_cast<float>((1.0 / 90) * c));
    }
    for (std::int16_t i = 91; i <= 180; ++i) {
        pset(1, i, static_cast<float>(1 - (1.0 / 90) * (i - 90)));
    }
    for (std::int16_t j = 181; j <= 270; ++j) {
        pset(1, j, static_cast<float>((-1.0 / 90) * (j - 180)));
    }
    for (std::int16_t k = 271; k <= 360; ++k) {
        pset(1, k, static_cast<float>((1.0 / 90) * (k - 270) - 1));
    }
}

QPoint previewPixel(float x, float y, QSize box) {
    // A pixel holds the twips from its left (top) edge up to the next one's;
    // a point on the far edge (x = 360) falls in the last pixel, not outside.
    const double left = x * kTwipsPerUnitX;
    const double top = (static_cast<double>(y) - kTopY) * kTwipsPerUnitY;
    const int column = static_cast<int>(std::floor(left / kTwipsPerPixel));
    const int row = static_cast<int>(std::floor(top / kTwipsPerPixel));
    return {std::clamp(column, 0, box.width() - 1), std::clamp(row, 0, box.height() - 1)};
}

void DrawWavePreview(PictureBox& sine, PictureBox& triangle) {
    // The retained image is in logical pixels and each point is one of them:
    // on a HiDPI screen the painter scales the image up without smoothing, so
    // the dots grow with the box instead of shrinking to device pixels.
    PictureBox* boxes[] = {&sine, &triangle};
    const QColor color = colorFromBgr(kWavePreviewColor);
    DrawWavePreview([&](int member, float x, float y) {
        QImage& image = boxes[member]->image();
        image.setPixelColor(previewPixel(x, y, image.size()), color);
    });
    sine.update();
    triangle.update();
}

} // namespace vemba
