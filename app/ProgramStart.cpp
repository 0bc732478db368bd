#include "ProgramStart.h"

#include "FormStyle.h"
#include "SingleInstance.h"
#include "WindowPlacement.h"
#include "iniEdit.h"

#include <QApplication>
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

// The audio layer the program plays through. Its one construction: a change
// of backend or of how it is loaded is made here. The mixing layer comes
// from the audio module, loaded only at the first switch ON, so that the
// window opens without the sound server's and the codecs' libraries.
std::unique_ptr<audio::ModuleAudioLayer> makeAudioLayer(const QString& moduleDir) {
    return std::make_unique<audio::ModuleAudioLayer>(moduleDir);
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

Program::Program(const QString& programDir, const QString& moduleDir)
    : m_audio(makeAudioLayer(moduleDir)), m_window({programDir, m_audio.get()}),
      m_sleepInhibitor([this] {
          // The user's opt-out, read at each ON: no restart needed.
          return m_window.settings()
                     .ReadSetting(QStringLiteral("Desktop"), QStringLiteral("InhibitSleep"))
                     .trimmed() != QStringLiteral("0");
      }),
      m_mpris(mediaPlayerOf(m_window)) {
    // Play that cannot open the stream, and a stream lost for good, reach the
    // window's event logic, which turns the switch OFF and tells the message.
    m_audio->setFailureListener([this](const QString& message) { m_window.playFailed(message); });
    m_audio->setStreamLostListener(
        [this](const QString& message) { m_window.streamLost(message); });
    // The sound server's volume mixer names the stream after what plays.
    QObject::connect(&m_window.status(), &PlayerStatus::titleChanged, &m_window.form(),
                     [this](const QString& title) { m_audio->setStreamTitle(title); });
    // A session that ends, a service manager or Ctrl+C in the terminal.
    QObject::connect(&m_quitSignals, &QuitSignals::received, &m_window.form(),
                     [this] { m_window.quit(); });
    // Also when the switch goes OFF by itself (no device, the server lost).
    QObject::connect(&m_window.status(), &PlayerStatus::switchChanged, &m_sleepInhibitor,
                     &desktop::SleepInhibitor::setOn);
    connectMpris(m_window, m_mpris);
}

// Nothing reaches the window while it goes; the audio layer, which lets the
// stop's fade be heard, goes after it.
Program::~Program() {
    m_audio->setFailureListener({});
    m_audio->setStreamLostListener({});
}

void Program::start() {
    m_window.controller().Form_Load();
    m_audio->setStreamTitle(m_window.status().title());
    m_window.form().show();
}

int runProgram(int argc, char** argv) {
    if (!prepareProcess(argc, argv)) {
        return 1;
    }
    placement::preferPlaceableWindows();
    QApplication app(argc, argv);
    installFormAppearance();
    QApplication::setApplicationName(QStringLiteral("vemba-pc"));
    QApplication::setApplicationDisplayName(QStringLiteral("ヴェンバPC"));
    QApplication::setDesktopFileName(QStringLiteral("vemba-pc"));

    const QString programDir = QCoreApplication::applicationDirPath();
    SingleInstance instance(iniEdit::settingsDirectory(programDir));
    if (!instance.claim()) {
        return 0;
    }
    Program program(programDir, programDir);
    QObject::connect(&instance, &SingleInstance::raiseRequested, &program.window().form(),
                     [&program] { program.window().bringForward(); });
    program.start();
    // Only the program itself goes on the bus: the tests that make a Program
    // stay off whatever session bus they run in.
    program.mpris().publish();
    return QApplication::exec();
}

} // namespace vemba
