#include "FormToneSelection.h"

#include "Form1.h"

#include <QAbstractButton>
#include <QSlider>

namespace vemba {

namespace {

bool selected(const QAbstractButton* button) {
    return button != nullptr && button->isChecked();
}

} // namespace

bool FormToneSelection::isVariantSelected(int channel, int member) const {
    return channel >= 1 && channel <= 3 && selected(m_form.Option(channel, member));
}

bool FormToneSelection::isWaveShapeSelected(int member) const {
    return selected(m_form.Option(4, member));
}

int FormToneSelection::sliderPosition() const {
    return m_form.Slider1()->value();
}

audio::WindowHandle FormToneSelection::windowHandle() const {
    return static_cast<audio::WindowHandle>(m_form.winId());
}

} // namespace vemba
