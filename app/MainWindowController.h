#pragma once

#include <QPointer>
#include <QString>
#include <cstdint>
#include <functional>
#include <optional>

namespace vemba {

class Form1;
class frmAbout;
class SettingsStore;
class SoundEngine;

// The main window's event logic. Every handler reads the controls' values at
// the moment it runs and keeps no copy; failures of the device or of a tone
// file end the handler at the failing step and reach the caller.
class MainWindowController {
public:
    // What the handlers work on: the window's controls, the sound and the settings file.
    struct Services {
        Form1& form;
        SoundEngine& engine;
        SettingsStore& settings;
        QString programDir;
    };

    explicit MainWindowController(const Services& services);
    virtual ~MainWindowController();
    MainWindowController(const MainWindowController&) = delete;
    MainWindowController& operator=(const MainWindowController&) = delete;

    // Start-up and shutdown of the window.
    virtual void Form_Load();
    virtual void Form_QueryUnload();

    virtual void Check1_Click();
    virtual void Check2_Click();
    virtual void Check3_Click();
    virtual void Option1_Click(std::int16_t Index);
    virtual void Option2_Click(std::int16_t Index);
    virtual void Option3_Click(std::int16_t Index);
    virtual void Option4_Click(std::int16_t Index);
    virtual void optMediaMode_Click(std::int16_t Index);
    virtual void Slider1_Change();
    virtual void MHelp1_Click();
    virtual void MVersion_Click();
    // The sound stopped while ON and did not come back: raised as a device
    // failure, so the switch goes back to OFF as when the device will not open.
    virtual void streamLost(const QString& message);
    // The audio layer could not open the stream for a Play (and told why):
    // a channel being started then leaves the switch OFF.
    void playFailed();

protected:
    Form1& form() { return m_form; }
    SoundEngine& engine() { return m_engine; }

private:
    // Start-up's steps: each applies one stored entry, or leaves its control
    // as it is when the entry is unusable.
    void restoreWindowPosition();
    void restoreCheck(int channel);
    void restoreMember(int array, const QString& section, const QString& key);
    void restoreVolume();
    std::optional<int> storedPosition(const QString& key) const;

    void startTickedChannels();
    void channelCheckClick(int channel);
    void channelOptionClick(int channel, std::int16_t index);
    void restartChannel(int channel);
    void startChannel(int channel);
    void offWhenSilent(const std::function<void()>& work);
    void switchOff();
    bool switchIsOn() const;
    bool ticked(int channel) const;

    Form1& m_form;
    SoundEngine& m_engine;
    SettingsStore& m_settings;
    QString m_programDir;
    // At most one About box, open or not; it may outlive the main window.
    QPointer<frmAbout> m_about;
    // Set by playFailed(); offWhenSilent() reads and clears it.
    bool m_playFailed = false;
};

} // namespace vemba
