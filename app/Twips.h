#pragma once

#include <QColor>
#include <QRect>
#include <cmath>
#include <cstdint>

namespace vemba {

inline constexpr double kTwipsPerPixel = 15.0;

// Window coordinates are kept in twips; Qt lays out in logical pixels.
inline int twipsToPixels(double twips) {
    return static_cast<int>(std::lround(twips / kTwipsPerPixel));
}

inline QRect twipsRect(int left, int top, int width, int height) {
    return QRect(twipsToPixels(left), twipsToPixels(top), twipsToPixels(width),
                 twipsToPixels(height));
}

// Colours are written 0x00BBGGRR (red in the low byte), while QColor(QRgb)
// reads 0xAARRGGBB.
inline QColor colorFromBgr(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

} // namespace vemba
