#pragma once

namespace vemba {

class ProgramWindow;
class QuitSignals;
namespace audio {
class MixingAudioLayer;
}

// Wires the program as it runs: the audio layer's failures and lost streams
// to the window, the signals that end a program to its normal close; then
// restores the stored choices and shows the window.
void startProgram(ProgramWindow& window, audio::MixingAudioLayer& audio, QuitSignals& quitSignals);

} // namespace vemba
