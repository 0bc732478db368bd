#pragma once

#include <QColor>
#include <cstdint>

namespace vemba {

// Colours are written 0x00BBGGRR (red in the low byte), while QColor(QRgb)
// reads 0xAARRGGBB.
inline QColor colorFromBgr(std::uint32_t bgr) {
    return QColor(static_cast<int>(bgr & 0xFF), static_cast<int>((bgr >> 8) & 0xFF),
                  static_cast<int>((bgr >> 16) & 0xFF));
}

} // namespace vemba
