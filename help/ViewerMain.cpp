// vemba-help-viewer <file.chm> [page]: the help viewer alone, for reading a
// help file while writing it and for the picture in docs/.
#include "HelpViewer.h"
#include "HtmlHelp.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    if (argc < 2 || argc > 3 || vemba::OpenHelpContents(0, QString::fromLocal8Bit(argv[1])) == 0) {
        return 1;
    }
    if (argc == 3) {
        for (QWidget* window : QApplication::topLevelWidgets()) {
            if (auto* viewer = dynamic_cast<vemba::HelpViewer*>(window)) {
                viewer->showTopic(QString::fromLocal8Bit(argv[2]));
            }
        }
    }
    return QApplication::exec();
}
