#pragma once

#include "ModuleAudioLayer.h"
#include "MprisWiring.h"
#include "ProgramWindow.h"
#include "QuitSignals.h"
#include "SleepInhibitor.h"

#include <QString>
#include <memory>

namespace vemba {

// Before the application object is made: ignores SIGPIPE, so that a stderr
// or socket whose reader has gone cannot end the program, and tells whether
// a window can be opened. Without DISPLAY, WAYLAND_DISPLAY or a platform the
// user chose (QT_QPA_PLATFORM, -platform), Qt could only abort with its own
// English text; then this writes one line to stderr and returns false.
bool prepareProcess(int argc, char** argv);

// Where the program is put together: the audio layer, and the window with
// its settings file, sound engine, help and event logic, connected to each
// other and to the signals that end a program. Made after the application
// object; the tests that drive the whole program make one too. The files
// beside the program (settings, tones, help) are looked for in programDir,
// the audio modules built with it in moduleDir.
class Program {
public:
    Program(const QString& programDir, const QString& moduleDir);
    ~Program();
    Program(const Program&) = delete;
    Program& operator=(const Program&) = delete;

    ProgramWindow& window() { return m_window; }
    audio::ModuleAudioLayer& audio() { return *m_audio; }
    desktop::MprisService& mpris() { return m_mpris; }

    // Restores the stored choices and shows the window.
    void start();

private:
    // Declared in the order of creation. The quit signals come first and go
    // last, so that one received while the window and the sound shut down is
    // still handled; the window goes before the audio layer it plays on.
    QuitSignals m_quitSignals;
    std::unique_ptr<audio::ModuleAudioLayer> m_audio;
    ProgramWindow m_window;
    // Goes before the window: its release reaches the bus before the process ends.
    desktop::SleepInhibitor m_sleepInhibitor;
    // The player as the desktop sees it; it goes before the window it drives.
    desktop::MprisService m_mpris;
};

// The whole program, from the process's arguments to the exit status.
int runProgram(int argc, char** argv);

} // namespace vemba
