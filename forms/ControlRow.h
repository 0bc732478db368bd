#pragma once

#include <cstdint>
#include <optional>

namespace vemba {

enum class ControlKind {
    Frame,         // titled frame
    UntitledFrame, // plain border, its check box in place of a caption
    CheckBox,
    OptionButton,
    PushOption, // option button drawn as a push button that stays pressed
    PictureBox, // borderless drawing area that keeps what is drawn into it
    ImageBox,   // a picture in a sunken border, set by the window's owner
    Label,
    Slider,
    CommandButton,
    Line, // a straight line across its rectangle, `value` pixels wide
};

// Ways a row departs from its kind's usual look or role.
enum ControlFlag : unsigned {
    NoFlags = 0,
    DefaultButton = 1U << 0, // Enter presses it
    CancelButton = 1U << 1,  // Esc presses it
};

// A font a control sets for itself instead of the window's.
struct FontSpec {
    const char* family;
    double points;
    bool bold;
};

// One control of a window as it stands in the window's design. Positions and
// sizes are in twips relative to the container; a line runs from (left, top)
// to (left + width, top + height).
struct ControlRow {
    const char* name;
    int index; // member index within its control array, or -1
    ControlKind kind;
    const char* container; // nullptr: the window's client area
    const char* caption;   // nullptr: none
    int left, top, width, height;
    int tab;
    int value; // check box 0/1, option 1 when selected, slider position, line width
    std::optional<std::uint32_t> foreColor = std::nullopt; // caption or line colour, 0x00BBGGRR
    std::optional<std::uint32_t> backColor = std::nullopt; // filled background, 0x00BBGGRR
    const FontSpec* font = nullptr;
    unsigned flags = NoFlags;
};

struct ToolTipRow {
    const char* name;
    int index;
    const char* text;
};

} // namespace vemba
