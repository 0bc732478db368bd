#pragma once

#include "ErrorPresenter.h"
#include "Form1.h"
#include "FormToneSelection.h"
#include "HandlerGuard.h"
#include "MainWindowController.h"
#include "PlayerStatus.h"
#include "SettingsStore.h"
#include "SoundEngine.h"

#include <QString>
#include <functional>
#include <memory>

namespace vemba {

// The main window with everything that lives as long as it: the sound
// engine, the settings file, the error messages and the event logic, wired
// to the window's controls.
class ProgramWindow {
public:
    struct Services {
        QString programDir;
        audio::AudioLayer* audio = nullptr;
    };
    using ControllerFactory =
        std::function<std::unique_ptr<MainWindowController>(const MainWindowController::Services&)>;

    explicit ProgramWindow(Services services, const ControllerFactory& makeController = {});
    ~ProgramWindow();
    ProgramWindow(const ProgramWindow&) = delete;
    ProgramWindow& operator=(const ProgramWindow&) = delete;

    Form1& form() { return *m_form; }
    MainWindowController& controller() { return *m_controller; }
    SoundEngine& engine() { return m_engine; }
    ErrorPresenter& errors() { return m_errors; }
    PlayerStatus& status() { return m_status; }
    SettingsStore& settings() { return m_settings; }

    // The audio layer lost its stream for good: handled like a click.
    void streamLost(const QString& message);
    // Play could not open the stream: told, and the event logic that asked
    // for it turns the switch OFF.
    void playFailed(const QString& message);
    // Brings the window forward: restored if minimized, raised and active.
    void bringForward();
    // Closes the window the normal way (its shutdown runs, its place is kept)
    // and ends the event loop once the channels have faded out.
    void quit();

private:
    void connectEvents();

    // Declared in the order of creation: the window goes last.
    std::unique_ptr<Form1> m_form;
    ErrorPresenter m_errors;
    FormToneSelection m_selection;
    SettingsStore m_settings;
    SoundEngine m_engine;
    std::unique_ptr<MainWindowController> m_controller;
    HandlerGuard m_guard;
    PlayerStatus m_status;
};

} // namespace vemba
