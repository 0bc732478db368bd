#include "ProgramStart.h"

#include "MixingAudioLayer.h"
#include "ProgramWindow.h"
#include "QuitSignals.h"

#include <csignal>
#include <cstdio>
#include <string_view>

namespace vemba {

namespace {

// Qt's own choice, which it may still fail to open: X11 needs DISPLAY; Qt
// takes Wayland in a Wayland session, whose compositor it also finds with
// no WAYLAND_DISPLAY (at wayland-0 in the runtime directory).
bool displayNamed() {
    return !qEnvironmentVariableIsEmpty("DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") ||
           !qEnvironmentVariableIsEmpty("WAYLAND_SOCKET") ||
           (qgetenv("XDG_SESSION_TYPE") == "wayland" &&
            !qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"));
}

bool platformChosen(int argc, char** argv) {
    if (!qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        return true;
    }
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg(argv[i]);
        if (arg == "-platform" || arg == "--platform") {
            return true;
        }
    }
    return false;
}

} // namespace

bool prepareProcess(int argc, char** argv) {
    std::signal(SIGPIPE, SIG_IGN);
    if (platformChosen(argc, argv) || displayNamed()) {
        return true;
    }
    std::fputs("vemba-pc: 画面（ディスプレイ）に接続できません。"
               "DISPLAY か WAYLAND_DISPLAY を設定してください。\n",
               stderr);
    return false;
}

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
