#pragma once

#include "AudioLayer.h"

namespace vemba {

// What the sound engine reads from the main window each time it needs it: the
// engine keeps no copy of the user's choices.
class ToneSelection {
public:
    virtual ~ToneSelection() = default;
    // Whether member `member` (0 to 4) of channel `channel`'s (1 to 3) variant
    // options is selected.
    virtual bool isVariantSelected(int channel, int member) const = 0;
    // Whether member `member` (0 sine, 1 triangle) of the wave-shape pair is selected.
    virtual bool isWaveShapeSelected(int member) const = 0;
    // The volume slider's position, 0 to 10.
    virtual int sliderPosition() const = 0;
    virtual audio::WindowHandle windowHandle() const = 0;
};

} // namespace vemba
