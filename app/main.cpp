#include "FormStyle.h"
#include "ProgramWindow.h"
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
    window.controller().Form_Load();
    window.form().show();
    return QApplication::exec();
}
