#pragma once

#include "Colors.h"

#include <QPoint>
#include <QSize>
#include <cstdint>
#include <functional>

namespace vemba {

class PictureBox;

// The preview curves' colour, 0x00BBGGRR: dark green.
inline constexpr std::uint32_t kWavePreviewColor = bgr::darkGreen;

// Sets one point (x, y) of preview box `member` (0 sine, 1 triangle), in the
// boxes' own coordinates.
using PreviewPset = std::function<void(int member, float x, float y)>;

// Draws one period of a sine into the first box and of a triangle into the
// second, 361 points each. Called once at start-up; the boxes keep it.
void DrawWavePreview(PictureBox& sine, PictureBox& triangle);

// The same five loops, handing every point to `pset` in drawing order.
void DrawWavePreview(const PreviewPset& pset);

// The pixel of a box of `box` logical pixels that holds the point (x, y):
// x runs 0..360 across the box at 1.375 twips a unit, y from -1.2 at the top
// edge downwards at 100 twips a unit.
QPoint previewPixel(float x, float y, QSize box);

} // namespace vemba
