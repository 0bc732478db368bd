#include "FormStyle.h"
#include "ProgramWindow.h"
#include "QuitSignals.h"
#include "SdlAudioLayer.h"
#include "WindowPlacement.h"

#include <QApplication>

int main(int argc, char** argv) {
    vemba::placement::preferPlaceableWindows();
    QApplication app(argc, argv);
    vemba::installFormAppearance();
    QApplication::setApplicationName(QStringLiteral("vemba-pc"));
    QApplication::setApplicationDisplayName(QStringLiteral("ヴェンバPC"));
    QApplication::setDesktopFileName(QStringLiteral("vemba-pc"));

    vemba::audio::SdlAudioLayer audio;
    vemba::ProgramWindow window({QCoreApplication::applicationDirPath(), &audio});
    audio.setFailureListener(
        [&window](const QString& message) { window.errors().report(message); });
    audio.setStreamLostListener([&window](const QString& message) { window.streamLost(message); });
    // A session that ends, a service manager or Ctrl+C in the terminal.
    vemba::QuitSignals quitSignals;
    QObject::connect(&quitSignals, &vemba::QuitSignals::received, &window.form(),
                     [&window] { window.quit(); });
    window.controller().Form_Load();
    window.form().show();
    return QApplication::exec();
}
