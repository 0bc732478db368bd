#include "Form1.h"
#include "FormStyle.h"
#include "SdlAudioLayer.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    vemba::installFormAppearance();
    QApplication::setApplicationName(QStringLiteral("vemba-pc"));
    QApplication::setApplicationDisplayName(QStringLiteral("ヴェンバPC"));
    QApplication::setDesktopFileName(QStringLiteral("vemba-pc"));

    vemba::audio::SdlAudioLayer audio;
    vemba::Form1 form({QCoreApplication::applicationDirPath(), &audio});
    audio.setFailureListener([&form](const QString& message) { form.errors().report(message); });
    form.Form_Load();
    form.show();
    return QApplication::exec();
}
