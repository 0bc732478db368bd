#pragma once

#include "ControlRow.h"

#include <QDialog>
#include <span>

class QIcon;
class QPushButton;

namespace vemba {

// The About box: the program's name, version, purpose and rights notice, all
// fixed in its design. Modeless and without an owner, so that it stays open
// beside the main window and after it; closing it destroys it. A double-click
// on the picture does nothing: the design gives it no sensible target.
class frmAbout : public QDialog {
    Q_OBJECT

public:
    // `windowIcon` is the main window's; the picture is the same image.
    explicit frmAbout(const QIcon& windowIcon);

    QPushButton* cmdOK() const { return m_ok; }

    void cmdOK_Click();

private:
    QPushButton* m_ok = nullptr;
};

// The About box's controls, in twips, and its client area.
std::span<const ControlRow> aboutControls();
inline constexpr int kAboutWidthTwips = 5610;
inline constexpr int kAboutHeightTwips = 1845;
inline constexpr int kAboutLeftTwips = 2340;
inline constexpr int kAboutTopTwips = 1935;

} // namespace vemba
