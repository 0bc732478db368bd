#include "FormStyle.h"
#include "MixingAudioLayer.h"
#include "ProgramStart.h"
#include "ProgramWindow.h"
#include "QuitSignals.h"
#include "WindowPlacement.h"

#include <QApplication>

int main(int argc, char** argv) {
    if (!vemba::prepareProcess(argc, argv)) {
        return 1;
    }
    vemba::placement::preferPlaceableWindows();
    QApplication app(argc, argv);
    vemba::installFormAppearance();
    QApplication::setApplicationName(QStringLiteral("vemba-pc"));
    QApplication::setApplicationDisplayName(QStringLiteral("ヴェンバPC"));
    QApplication::setDesktopFileName(QStringLiteral("vemba-pc"));

    // Made before the window and the sound and gone after them, so that a
    // quit signal while they shut down is still handled.
    vemba::QuitSignals quitSignals;
    vemba::audio::MixingAudioLayer audio(QCoreApplication::applicationDirPath());
    vemba::ProgramWindow window({QCoreApplication::applicationDirPath(), &audio});
    vemba::startProgram(window, audio, quitSignals);
    return QApplication::exec();
}
