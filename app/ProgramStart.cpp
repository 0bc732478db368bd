#include "ProgramStart.h"

#include "MixingAudioLayer.h"
#include "ProgramWindow.h"
#include "QuitSignals.h"

namespace vemba {

void startProgram(ProgramWindow& window, audio::MixingAudioLayer& audio, QuitSignals& quitSignals) {
    audio.setFailureListener(
        [&window](const QString& message) { window.errors().report(message); });
    audio.setStreamLostListener([&window](const QString& message) { window.streamLost(message); });
    // A session that ends, a service manager or Ctrl+C in the terminal.
    QObject::connect(&quitSignals, &QuitSignals::received, &window.form(),
                     [&window] { window.quit(); });
    window.controller().Form_Load();
    window.form().show();
}

} // namespace vemba
