#pragma once

#include <QRect>
#include <cmath>

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

} // namespace vemba
