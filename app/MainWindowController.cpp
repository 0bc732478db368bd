#include "MainWindowController.h"

#include "Conversions.h"
#include "Form1.h"

#include <QAbstractButton>
#include <QSlider>

namespace vemba {

namespace {

constexpr std::uint32_t kLampOn = 255;
constexpr std::uint32_t kLampOff = 0xFFFFFF;

QString sectionOf(int channel) {
    return QStringLiteral("Sound%1").arg(channel);
}

} // namespace

MainWindowController::MainWindowController(Form1& form) : m_form(form) {}

void MainWindowController::Check1_Click() {
    channelCheckClick(1);
}

void MainWindowController::Check2_Click() {
    channelCheckClick(2);
}

void MainWindowController::Check3_Click() {
    channelCheckClick(3);
}

void MainWindowController::Option1_Click(std::int16_t Index) {
    channelOptionClick(1, Index);
}

void MainWindowController::Option2_Click(std::int16_t Index) {
    channelOptionClick(2, Index);
}

void MainWindowController::Option3_Click(std::int16_t Index) {
    channelOptionClick(3, Index);
}

void MainWindowController::Option4_Click(std::int16_t Index) {
    if (switchIsOn()) {
        // One channel is restarted completely before the next one's box is read.
        for (int channel = 1; channel <= 3; ++channel) {
            if (ticked(channel)) {
                restartChannel(channel);
            }
        }
    }
    m_form.settings().WriteSetting(QStringLiteral("WaveForm"), QStringLiteral("Form"),
                                   convert::FromInteger(Index));
}

void MainWindowController::optMediaMode_Click(std::int16_t) {
    SoundEngine& engine = m_form.engine();
    if (switchIsOn()) {
        m_form.setLabel1BackColor(kLampOn);
        engine.InitSoundDevice();
        for (int channel = 1; channel <= 3; ++channel) {
            if (ticked(channel)) {
                engine.LoadChannelBuffer(channel);
                engine.PlayChannel(channel);
            }
        }
    } else {
        m_form.setLabel1BackColor(kLampOff);
        for (int channel = 1; channel <= 3; ++channel) {
            if (ticked(channel)) {
                engine.StopChannel(channel);
            }
        }
    }
}

void MainWindowController::Slider1_Change() {
    if (switchIsOn()) {
        const std::int32_t volume = SoundEngine::VolumeFromSlider(m_form.sliderPosition());
        for (int channel = 1; channel <= 3; ++channel) {
            m_form.engine().setChannelVolume(channel, volume);
        }
    }
    m_form.settings().WriteSetting(QStringLiteral("Volume"), QStringLiteral("V"),
                                   convert::FromInteger(m_form.Slider1()->value()));
}

// The help menu's items are wired; what they open lands with the help viewer.
void MainWindowController::MHelp1_Click() {}

void MainWindowController::MVersion_Click() {}

void MainWindowController::channelCheckClick(int channel) {
    if (switchIsOn()) {
        if (ticked(channel)) {
            m_form.engine().LoadChannelBuffer(channel);
            m_form.engine().PlayChannel(channel);
        } else {
            m_form.engine().StopChannel(channel);
        }
    }
    m_form.settings().WriteSetting(sectionOf(channel), QStringLiteral("Active"),
                                   convert::FromInteger(m_form.checkValue(channel)));
}

void MainWindowController::channelOptionClick(int channel, std::int16_t index) {
    if (switchIsOn() && ticked(channel)) {
        restartChannel(channel);
    }
    m_form.settings().WriteSetting(sectionOf(channel), QStringLiteral("Freq"),
                                   convert::FromInteger(index));
}

void MainWindowController::restartChannel(int channel) {
    SoundEngine& engine = m_form.engine();
    engine.StopChannel(channel);
    engine.LoadChannelBuffer(channel);
    engine.PlayChannel(channel);
}

bool MainWindowController::switchIsOn() const {
    return m_form.optMediaMode(0)->isChecked();
}

bool MainWindowController::ticked(int channel) const {
    return m_form.checkValue(channel) == 1;
}

} // namespace vemba
