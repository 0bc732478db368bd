#include "Form1.h"

#include "Colors.h"
#include "ControlBehavior.h"
#include "FormBuilder.h"
#include "FormLayout.h"
#include "ProgramIcon.h"
#include "Twips.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QCloseEvent>
#include <QLabel>
#include <QLayout>
#include <QMenuBar>
#include <QSlider>

namespace vemba {

Form1::Form1() {
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(QStringLiteral("ヴェンバPC"));
    setWindowIcon(programIcon());
    // Fixed single border: minimize and close, no maximize, no resizing.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint);

    buildMenu();
    buildControls();
    nameForScreenReaders();
    layout()->setSizeConstraint(QLayout::SetFixedSize);
    // Fixed before the window is first mapped, so that the window manager
    // never offers to resize or maximize it.
    layout()->activate();
    installControlBehavior(*this);
    optMediaMode(1)->setFocus();
}

Form1::~Form1() = default;

void Form1::buildMenu() {
    QMenu* help = menuBar()->addMenu(QStringLiteral("ヘルプ(&H)"));
    help->setObjectName(QStringLiteral("MHelp"));
    // What a screen reader calls the open menu; a menu that is never torn off shows no title.
    help->setWindowTitle(QStringLiteral("ヘルプ"));
    m_help1 = help->addAction(QStringLiteral("目次とキーワード(&C)"));
    m_help1->setObjectName(QStringLiteral("MHelp1"));
    help->addSeparator()->setObjectName(QStringLiteral("MBar1"));
    m_version = help->addAction(QStringLiteral("バージョン情報(&A)"));
    m_version->setObjectName(QStringLiteral("MVersion"));
}

void Form1::buildControls() {
    auto* client = new QWidget(this);
    client->setObjectName(QStringLiteral("Form1Client"));
    client->setFixedSize(twipsToPixels(kClientWidthTwips), twipsToPixels(kClientHeightTwips));
    setCentralWidget(client);

    const std::map<QString, QButtonGroup*> groups =
        FormBuilder::build(client, formControls(), formToolTips());
    for (int n = 1; n <= 3; ++n) {
        m_checks.at(n - 1) = client->findChild<QCheckBox*>(QStringLiteral("Check%1").arg(n));
    }
    for (int n = 1; n <= 4; ++n) {
        m_optionGroups.at(n - 1) = groups.at(QStringLiteral("Option%1").arg(n));
    }
    m_mediaMode = groups.at(QStringLiteral("optMediaMode"));
    for (int n = 0; n <= 1; ++n) {
        m_pictures.at(n) = client->findChild<PictureBox*>(FormBuilder::controlName("Picture1", n));
    }
    m_label1 = client->findChild<QLabel*>(QStringLiteral("Label1"));
    m_slider1 = client->findChild<QSlider*>(QStringLiteral("Slider1"));
}

// Names a screen reader reads where the window's own captions do not tell a
// control apart or say nothing; nothing of this is drawn.
void Form1::nameForScreenReaders() {
    centralWidget()->findChild<QLabel*>(QStringLiteral("Label2"))->setBuddy(m_slider1);
    // Every channel has the same 重ね合わせ and スイープ.
    for (int channel = 1; channel <= 3; ++channel) {
        for (QAbstractButton* option : optionGroup(channel)->buttons()) {
            option->setAccessibleName(Check(channel)->text() + u' ' + option->text());
        }
    }
    // The previews are known by the wave shapes the options beside them choose.
    for (int member = 0; member <= 1; ++member) {
        Picture1(member)->setAccessibleName(Option(4, member)->text());
    }
    // The lamp tells which side of the switch is down, however it got there.
    const auto nameLamp = [this] {
        const QAbstractButton* down = m_mediaMode->checkedButton();
        m_label1->setAccessibleName(
            QStringLiteral("スイッチ: %1").arg(down ? down->text() : QString()));
    };
    nameLamp();
    connect(m_mediaMode, &QButtonGroup::idToggled, m_label1, [nameLamp](int, bool checked) {
        if (checked) {
            nameLamp();
        }
    });
}

void Form1::closeEvent(QCloseEvent* event) {
    emit queryUnload();
    event->accept();
}

QCheckBox* Form1::Check(int channel) const {
    return channel >= 1 && channel <= 3 ? m_checks.at(channel - 1) : nullptr;
}

QButtonGroup* Form1::optionGroup(int array) const {
    return array >= 1 && array <= 4 ? m_optionGroups.at(array - 1) : nullptr;
}

QAbstractButton* Form1::Option(int array, int member) const {
    QButtonGroup* group = optionGroup(array);
    return group != nullptr ? group->button(member) : nullptr;
}

QAbstractButton* Form1::optMediaMode(int member) const {
    return m_mediaMode->button(member);
}

PictureBox* Form1::Picture1(int member) const {
    return member == 0 || member == 1 ? m_pictures.at(member) : nullptr;
}

int Form1::checkValue(int channel) const {
    const QCheckBox* box = Check(channel);
    return box != nullptr && box->isChecked() ? 1 : 0;
}

void Form1::setLabel1BackColor(std::uint32_t bgr) {
    QPalette palette = m_label1->palette();
    palette.setColor(QPalette::Window, colorFromBgr(bgr));
    m_label1->setPalette(palette);
    // Shown at once: the ON branch paints the lamp before it opens the device.
    m_label1->repaint();
}

} // namespace vemba
