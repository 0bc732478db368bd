#pragma once

#include "ControlRow.h"

#include <span>

namespace vemba {

// The main window's controls and tool tips.
std::span<const ControlRow> formControls();
std::span<const ToolTipRow> formToolTips();

inline constexpr int kClientWidthTwips = 5835;
inline constexpr int kClientHeightTwips = 4050;

} // namespace vemba
