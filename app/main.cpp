#include "FormStyle.h"
#include "MixingAudioLayer.h"
#include "ProgramStart.h"
#include "ProgramWindow.h"
#include "QuitSignals.h"
#include "WindowPlacement.h"

#include <QApplication>

int main(int argc, char** argv) {
    vemba::placement::preferPlaceableWindows();
    QApplication app(argc, argv);
    vemba::installFormAppearance();
    QApplication::setApplicationName(QStringLiteral("vemba-pc"));
    QApplication::setApplicationDisplayName(QStringLiteral("ヴェンバPC"));
    QApplication::setDesktopFileName(QStringLiteral("vemba-pc"));

    vemba::audio::MixingAudioLayer audio;
    vemba::ProgramWindow window({QCoreApplication::applicationDirPath(), &audio});
    vemba::QuitSignals quitSignals;
    vemba::startProgram(window, audio, quitSignals);
    return QApplication::exec();
}
