#pragma once

namespace vemba {

class ProgramWindow;
class QuitSignals;
namespace audio {
class MixingAudioLayer;
}

// Before the application object is made: ignores SIGPIPE, so that a stderr
// or socket whose reader has gone cannot end the program, and tells whether
// a window can be opened. Without DISPLAY, WAYLAND_DISPLAY or a platform the
// user chose (QT_QPA_PLATFORM, -platform), Qt could only abort with its own
// English text; then this writes one line to stderr and returns false.
bool prepareProcess(int argc, char** argv);

// Wires the program as it runs: the audio layer's failures and lost streams
// to the window, the signals that end a program to its normal close; then
// restores the stored choices and shows the window.
void startProgram(ProgramWindow& window, audio::MixingAudioLayer& audio, QuitSignals& quitSignals);

} // namespace vemba
