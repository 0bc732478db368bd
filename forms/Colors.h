#pragma once

#include <QColor>
#include <cstdint>

namespace vemba {

// The colours the windows' designs name, 0x00BBGGRR.
namespace bgr {
inline constexpr std::uint32_t black = 0x00000000;
inline constexpr std::uint32_t red = 0x000000FF;
inline constexpr std::uint32_t darkGreen = 0x00008000;
inline constexpr std::uint32_t grey = 0x00808080;
inline constexpr std::uint32_t blue = 0x00FF0000;
inline constexpr std::uint32_t white = 0x00FFFFFF;
} // namespace bgr

// Colours are written 0x00BBGGRR (red in the low byte), while QColor(QRgb)
// reads 0xAARRGGBB.
inline QColor colorFromBgr(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

} // namespace vemba
