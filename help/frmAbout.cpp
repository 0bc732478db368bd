#include "frmAbout.h"

#include "Colors.h"
#include "FormBuilder.h"
#include "Twips.h"

#include <QIcon>
#include <QLabel>
#include <QPushButton>
#include <array>

namespace vemba {

namespace {

using K = ControlKind;
constexpr FontSpec kTitleFont{"ＭＳ Ｐゴシック", 14.25, true};

// Rows in creation order: the white line first, so that the grey one lies on
// it and the two read as one etched separator.
constexpr std::array<ControlRow, 8> kControls{{
    {"picIcon", -1, K::ImageBox, nullptr, nullptr, 240, 120, 480, 480, 1, 0},
    {"cmdOK", -1, K::CommandButton, nullptr, "OK", 4320, 1320, 1185, 345, 0, 0, std::nullopt,
     std::nullopt, nullptr, DefaultButton | CancelButton},
    {"lblTitle", -1, K::Label, nullptr, "ヴェンバPC", 960, 217, 1605, 333, 4, 0, bgr::black,
     std::nullopt, &kTitleFont},
    {"lblVersion", -1, K::Label, nullptr, "Version 1.00", 2880, 290, 1605, 225, 5, 0},
    {"lblDescription", -1, K::Label, nullptr, "血を吸うメスの蚊を追い払います。", 1050, 840, 3885,
     330, 2, 0, bgr::black},
    {"Line1", 0, K::Line, nullptr, nullptr, 0, 1200, 5549, 0, -1, 2, bgr::white},
    {"Line1", 1, K::Line, nullptr, nullptr, 0, 1200, 5564, 0, -1, 1, bgr::grey},
    {"lblDisclaimer", -1, K::Label, nullptr, "Copyright (C) 2026. All rights reserved.", 120, 1320,
     4110, 465, 3, 0, bgr::black},
}};

} // namespace

std::span<const ControlRow> aboutControls() {
    return kControls;
}

frmAbout::frmAbout(const QIcon& windowIcon) : QDialog(nullptr) {
    setObjectName(QStringLiteral("frmAbout"));
    setWindowTitle(QStringLiteral("ヴェンバPC"));
    setWindowIcon(windowIcon);
    // A fixed dialog border with only the close box, and no taskbar button.
    setWindowFlags(Qt::Tool | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowCloseButtonHint);
    // A tool window would not keep the program running; this one does.
    setAttribute(Qt::WA_QuitOnClose, true);
    setAttribute(Qt::WA_DeleteOnClose, true);

    FormBuilder::build(this, aboutControls(), {});
    const QSize client(twipsToPixels(kAboutWidthTwips), twipsToPixels(kAboutHeightTwips));
    setFixedSize(client);
    // Its client area at a fixed place on the screen.
    setGeometry(
        QRect(QPoint(twipsToPixels(kAboutLeftTwips), twipsToPixels(kAboutTopTwips)), client));

    // 28 pixels inside the box's sunken frame, drawn from the icon's own
    // pixels at the screen's density, never a small picture scaled up.
    findChild<QLabel*>(QStringLiteral("picIcon"))
        ->setPixmap(windowIcon.pixmap(QSize(28, 28), devicePixelRatioF()));
    m_ok = findChild<QPushButton*>(QStringLiteral("cmdOK"));
    connect(m_ok, &QPushButton::clicked, this, &frmAbout::cmdOK_Click);
    m_ok->setFocus();
}

void frmAbout::cmdOK_Click() {
    close();
}

} // namespace vemba
