#pragma once

#include "MprisService.h"

namespace vemba {

class ProgramWindow;

// The media player service on the window: the switch clicked as a user
// clicks it, the volume moved as the slider is, and every change of the
// switch, the ticked tones and the slider announced however it was made.
desktop::MediaPlayer mediaPlayerOf(ProgramWindow& window);
void connectMpris(ProgramWindow& window, desktop::MprisService& mpris);

} // namespace vemba
