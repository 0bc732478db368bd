// The yardstick for the start-up benchmark (app_startup.cpp): the least Qt
// Widgets program that shows the same kind of window as ours, with nothing
// behind it. A menu bar with one menu, Japanese captions in IPAPGothic 12 px
// under Fusion, frames, three check boxes, three groups of five option
// buttons, two more option buttons, two push buttons, labels and a slider.

#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QGroupBox>
#include <QLabel>
#include <QMainWindow>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSlider>
#include <QStyleFactory>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
    QFont font(QStringLiteral("IPAPGothic"));
    font.setPixelSize(12);
    QApplication::setFont(font);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("ヴェンバPC"));
    QMenu* help = window.menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->addAction(QStringLiteral("目次とキーワード(&C)"));
    help->addSeparator();
    help->addAction(QStringLiteral("バージョン情報(&A)"));

    auto* client = new QWidget(&window);
    client->setFixedSize(389, 270);
    window.setCentralWidget(client);

    const char* frames[] = {"メスの蚊を寄せ付けない", "オスの蚊を集める"};
    const char* checks[] = {"トンボの羽音", "オスの蚊の羽音", "メスの蚊の羽音"};
    const char* options[] = {"20Hz", "30Hz", "40Hz", "重ね合わせ", "スイープ"};
    auto* top = new QGroupBox(QString::fromUtf8(frames[0]), client);
    top->setGeometry(0, 0, 385, 113);
    auto* bottom = new QGroupBox(QString::fromUtf8(frames[1]), client);
    bottom->setGeometry(0, 120, 385, 65);
    QWidget* rowParents[] = {top, top, bottom};
    const int rowTops[] = {16, 64, 16};
    for (int row = 0; row < 3; ++row) {
        auto* frame = new QGroupBox(rowParents[row]);
        frame->setGeometry(8, rowTops[row], 369, 41);
        auto* check = new QCheckBox(QString::fromUtf8(checks[row]), frame);
        check->setGeometry(8, 0, 105, 17);
        auto* group = new QButtonGroup(frame);
        for (int member = 0; member < 5; ++member) {
            auto* option = new QRadioButton(QString::fromUtf8(options[member]), frame);
            option->setGeometry(8 + 64 * member, 24, 60, 12);
            option->setChecked(member == 1);
            group->addButton(option, member);
        }
    }
    auto* wave = new QGroupBox(QStringLiteral("波形の選択"), client);
    wave->setGeometry(0, 192, 193, 41);
    for (int member = 0; member < 2; ++member) {
        auto* option = new QRadioButton(wave);
        option->setGeometry(16 + 80 * member, 16, 17, 12);
        option->setChecked(member == 0);
    }
    auto* power = new QGroupBox(QStringLiteral("スイッチ"), client);
    power->setGeometry(200, 192, 185, 41);
    auto* lamp = new QLabel(power);
    lamp->setGeometry(16, 20, 9, 9);
    lamp->setFrameShape(QFrame::Box);
    auto* on = new QPushButton(QStringLiteral("ON"), power);
    on->setGeometry(32, 16, 65, 17);
    auto* off = new QPushButton(QStringLiteral("OFF"), power);
    off->setGeometry(104, 16, 65, 17);
    auto* volume = new QLabel(QStringLiteral("音量"), client);
    volume->setGeometry(16, 240, 33, 18);
    auto* slider = new QSlider(Qt::Horizontal, client);
    slider->setGeometry(56, 240, 321, 17);
    slider->setRange(0, 10);
    slider->setTickPosition(QSlider::TicksBelow);

    window.show();
    return QApplication::exec();
}
