#pragma once

#include <cstdint>
#include <optional>
#include <span>

namespace vemba {

enum class ControlKind {
    Frame,         // titled frame
    UntitledFrame, // plain border, its check box in place of a caption
    CheckBox,
    OptionButton,
    PushOption, // option button drawn as a push button that stays pressed
    PictureBox,
    Label,
    Slider,
};

// One control of the main window as it stands in the window's design.
// Positions and sizes are in twips relative to the container.
struct ControlRow {
    const char* name;
    int index; // member index within its control array, or -1
    ControlKind kind;
    const char* container; // nullptr: the window's client area
    const char* caption;   // nullptr: none
    int left, top, width, height;
    int tab;
    int value;                          // check box 0/1, option 1 when selected, slider position
    std::optional<std::uint32_t> color; // caption colour, or a label's background; 0x00BBGGRR
};

struct ToolTipRow {
    const char* name;
    int index;
    const char* text;
};

std::span<const ControlRow> formControls();
std::span<const ToolTipRow> formToolTips();

inline constexpr int kClientWidthTwips = 5835;
inline constexpr int kClientHeightTwips = 4050;

} // namespace vemba
