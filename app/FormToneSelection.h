#pragma once

#include "ToneSelection.h"

namespace vemba {

class Form1;

// Answers the sound engine's questions from the window's controls at the
// moment it asks, so that the engine keeps no copy of a choice.
class FormToneSelection : public ToneSelection {
public:
    explicit FormToneSelection(const Form1& form) : m_form(form) {}

    bool isVariantSelected(int channel, int member) const override;
    bool isWaveShapeSelected(int member) const override;
    int sliderPosition() const override;
    audio::WindowHandle windowHandle() const override;

private:
    const Form1& m_form;
};

} // namespace vemba
