#include "MainWindowController.h"

#include "Colors.h"
#include "Conversions.h"
#include "Form1.h"
#include "HelpFile.h"
#include "HtmlHelp.h"
#include "SettingsStore.h"
#include "SoundEngine.h"
#include "Twips.h"
#include "WavePreview.h"
#include "WindowPlacement.h"
#include "frmAbout.h"

#include <QAbstractButton>
#include <QButtonGroup>
#include <QCheckBox>
#include <QSlider>
#include <utility>

namespace vemba {

namespace {

QString sectionOf(int channel) {
    return QStringLiteral("Sound%1").arg(channel);
}

const QString kPosition = QStringLiteral("Position");
const QString kTop = QStringLiteral("Top");
const QString kLeft = QStringLiteral("Left");

template <typename T> std::optional<T> usable(const convert::Converted<T>& converted) {
    return converted.ok() ? std::optional<T>(converted.value()) : std::nullopt;
}

// A window coordinate in twips, as stored: whole twips of the logical-pixel grid.
QString positionText(int pixels) {
    return convert::fromSingle(static_cast<float>(pixels * kTwipsPerPixel));
}

} // namespace

MainWindowController::MainWindowController(const Services& services)
    : m_form(services.form), m_engine(services.engine), m_settings(services.settings),
      m_programDir(services.programDir) {}

// An About box still open when the program ends goes with the window.
MainWindowController::~MainWindowController() {
    delete m_about;
}

// Nothing sounds during start-up: the switch is OFF, so the handlers that the
// restored values raise only write those values back.
void MainWindowController::Form_Load() {
    DrawWavePreview(*m_form.Picture1(0), *m_form.Picture1(1));
    // One reading of the file for all entries, however large it is.
    m_settings.takeSnapshot();
    restoreWindowPosition();
    for (int channel = 1; channel <= 3; ++channel) {
        restoreCheck(channel);
        restoreMember(channel, sectionOf(channel), QStringLiteral("Freq"));
    }
    restoreMember(4, QStringLiteral("WaveForm"), QStringLiteral("Form"));
    restoreVolume();
    m_settings.dropSnapshot();
}

void MainWindowController::Form_QueryUnload() {
    for (int channel = 1; channel <= 3; ++channel) {
        m_engine.StopChannel(channel);
    }
    // Where the platform cannot tell the position, a good stored one is kept.
    if (placement::canPlaceWindows()) {
        m_settings.WriteSetting(kPosition, kTop, positionText(m_form.y()));
        m_settings.WriteSetting(kPosition, kLeft, positionText(m_form.x()));
    }
}

void MainWindowController::restoreWindowPosition() {
    if (!placement::canPlaceWindows()) {
        return;
    }
    if (const std::optional<int> top = storedPosition(kTop)) {
        m_form.move(m_form.x(), *top);
    }
    if (const std::optional<int> left = storedPosition(kLeft)) {
        m_form.move(*left, m_form.y());
    }
    // A position on a screen that is gone would leave the window unreachable.
    m_form.move(
        placement::reachablePosition(m_form.pos(), m_form.size(), placement::frameMargins(m_form)));
}

std::optional<int> MainWindowController::storedPosition(const QString& key) const {
    // The conversions read plain decimals only: a number is always finite.
    const std::optional<float> twips =
        usable(convert::toSingle(m_settings.ReadSetting(kPosition, key)));
    return twips ? std::optional<int>(placement::pixelsFromTwips(*twips)) : std::nullopt;
}

void MainWindowController::restoreCheck(int channel) {
    if (const std::optional<double> active = usable(convert::toDouble(
            m_settings.ReadSetting(sectionOf(channel), QStringLiteral("Active"))))) {
        m_form.Check(channel)->setChecked(*active == 1.0);
    }
}

void MainWindowController::restoreMember(int array, const QString& section, const QString& key) {
    const std::optional<std::int16_t> member =
        usable(convert::toInt16(m_settings.ReadSetting(section, key)));
    // A number that names no member of the array leaves the selection as it is.
    if (QAbstractButton* button = member ? m_form.Option(array, *member) : nullptr) {
        button->setChecked(true);
    }
}

void MainWindowController::restoreVolume() {
    if (const std::optional<std::int32_t> volume = usable(convert::toInt32(
            m_settings.ReadSetting(QStringLiteral("Volume"), QStringLiteral("V"))))) {
        // The slider takes a value past either end as that end.
        m_form.Slider1()->setValue(*volume);
    }
}

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
    m_settings.WriteSetting(QStringLiteral("WaveForm"), QStringLiteral("Form"),
                            convert::fromInteger(Index));
}

void MainWindowController::optMediaMode_Click(std::int16_t) {
    if (switchIsOn()) {
        m_form.setLabel1BackColor(bgr::red);
        offWhenSilent([this] {
            m_engine.InitSoundDevice();
            startTickedChannels();
        });
    } else {
        m_form.setLabel1BackColor(bgr::white);
        for (int channel = 1; channel <= 3; ++channel) {
            if (ticked(channel)) {
                m_engine.StopChannel(channel);
            }
        }
    }
}

// One tone file that will not load silences only its own channel: the others
// start, and one message names every file that failed.
void MainWindowController::startTickedChannels() {
    QStringList failures;
    bool started = false;
    for (int channel = 1; channel <= 3; ++channel) {
        if (!ticked(channel)) {
            continue;
        }
        try {
            startChannel(channel);
            started = true;
        } catch (const SoundError& error) {
            if (error.kind() != SoundError::Kind::Buffer) {
                throw;
            }
            failures << error.message();
        }
    }
    if (failures.isEmpty()) {
        return;
    }
    // Not one channel started: nothing can sound, as without a device.
    throw SoundError(started ? SoundError::Kind::Buffer : SoundError::Kind::Device,
                     failures.join(u'\n'));
}

void MainWindowController::Slider1_Change() {
    if (switchIsOn()) {
        const std::int32_t volume = SoundEngine::VolumeFromSlider(m_form.Slider1()->value());
        for (int channel = 1; channel <= 3; ++channel) {
            m_engine.setChannelVolume(channel, volume);
        }
    }
    m_settings.WriteSetting(QStringLiteral("Volume"), QStringLiteral("V"),
                            convert::fromInteger(m_form.Slider1()->value()));
}

// Whatever the viewer returns, the program shows nothing of its own.
void MainWindowController::MHelp1_Click() {
    const WId window = m_form.winId();
    OpenHelpContents(window, helpFilePath(m_programDir));
}

void MainWindowController::MVersion_Click() {
    if (m_about == nullptr) {
        m_about = new frmAbout(m_form.windowIcon());
        // The box has no taskbar button: left minimized when the main window
        // closes, nothing would lead back to it, and the program would run on
        // with no window to find.
        QObject::connect(&m_form, &Form1::queryUnload, m_about, [about = m_about.data()] {
            if (about->isMinimized()) {
                BringForward(*about);
            }
        });
    }
    BringForward(*m_about);
}

void MainWindowController::streamLost(const QString& message) {
    if (switchIsOn()) {
        switchOff();
        throw SoundError(SoundError::Kind::Device, message); // told by the guard
    }
}

void MainWindowController::channelCheckClick(int channel) {
    if (switchIsOn()) {
        if (ticked(channel)) {
            startChannel(channel);
        } else {
            m_engine.StopChannel(channel);
        }
    }
    m_settings.WriteSetting(sectionOf(channel), QStringLiteral("Active"),
                            convert::fromInteger(m_form.checkValue(channel)));
}

void MainWindowController::channelOptionClick(int channel, std::int16_t index) {
    if (switchIsOn() && ticked(channel)) {
        restartChannel(channel);
    }
    m_settings.WriteSetting(sectionOf(channel), QStringLiteral("Freq"),
                            convert::fromInteger(index));
}

void MainWindowController::restartChannel(int channel) {
    m_engine.StopChannel(channel);
    startChannel(channel);
}

void MainWindowController::startChannel(int channel) {
    offWhenSilent([this, channel] {
        m_engine.LoadChannelBuffer(channel);
        // Not after a Play of this same start that could not open the stream.
        if (switchIsOn()) {
            m_engine.PlayChannel(channel);
        }
    });
}

void MainWindowController::playFailed() {
    m_playFailed = true;
}

// The switch's one rule: whatever leaves nothing to sound turns it back to
// OFF, so that the lamp does not stay red over silence: no device, not one
// channel loaded, or a Play that could not open the stream. The first two
// end the handler and their message is the guard's to tell; the audio layer
// tells the last, and the handler goes on to store its value.
void MainWindowController::offWhenSilent(const std::function<void()>& work) {
    m_playFailed = false;
    try {
        work();
    } catch (const SoundError& error) {
        if (error.kind() == SoundError::Kind::Device) {
            switchOff();
        }
        throw;
    }
    if (std::exchange(m_playFailed, false)) {
        switchOff();
    }
}

void MainWindowController::switchOff() {
    m_form.optMediaMode(1)->setChecked(true);
}

bool MainWindowController::switchIsOn() const {
    return m_form.optMediaMode(0)->isChecked();
}

bool MainWindowController::ticked(int channel) const {
    return m_form.checkValue(channel) == 1;
}

} // namespace vemba
