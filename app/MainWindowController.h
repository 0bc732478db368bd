#pragma once

#include <cstdint>

namespace vemba {

class Form1;

// The main window's event logic. Every handler reads the controls' values at
// the moment it runs and keeps no copy; failures of the device or of a tone
// file end the handler at the failing step and reach the caller.
class MainWindowController {
public:
    explicit MainWindowController(Form1& form);
    virtual ~MainWindowController() = default;
    MainWindowController(const MainWindowController&) = delete;
    MainWindowController& operator=(const MainWindowController&) = delete;

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

protected:
    Form1& form() { return m_form; }

private:
    void channelCheckClick(int channel);
    void channelOptionClick(int channel, std::int16_t index);
    void restartChannel(int channel);
    bool switchIsOn() const;
    bool ticked(int channel) const;

    Form1& m_form;
};

} // namespace vemba
