#pragma once

#include "FormWidgets.h"

#include <QMainWindow>
#include <array>
#include <cstdint>
#include <map>

class QAbstractButton;
class QAction;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QSlider;

namespace vemba {

// The main window and its controls, built from the layout table. Its controls
// are the only record of the user's choices while the program runs: the
// handlers and the sound engine read them every time and keep no copy.
class Form1 : public QMainWindow {
    Q_OBJECT

public:
    Form1();
    ~Form1() override;

    // Controls. Channels and arrays are numbered as the window names them:
    // Check(1..3), Option(1..4, member), optMediaMode(0..1), Picture1(0..1).
    QCheckBox* Check(int channel) const;
    QAbstractButton* Option(int array, int member) const;
    QButtonGroup* optionGroup(int array) const;
    QAbstractButton* optMediaMode(int member) const;
    QButtonGroup* mediaModeGroup() const { return m_mediaMode; }
    QLabel* Label1() const { return m_label1; }
    QSlider* Slider1() const { return m_slider1; }
    PictureBox* Picture1(int member) const;
    QAction* MHelp1() const { return m_help1; }
    QAction* MVersion() const { return m_version; }

    // A check box's value: 1 ticked, 0 cleared.
    int checkValue(int channel) const;
    // Sets the lamp's background (0x00BBGGRR) and shows it at once.
    void setLabel1BackColor(std::uint32_t bgr);

signals:
    // The window is about to close, whatever closes it; the close is never refused.
    void queryUnload();

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    void buildMenu();
    void buildControls();
    void nameForScreenReaders();

    std::array<QCheckBox*, 3> m_checks{};
    std::array<QButtonGroup*, 4> m_optionGroups{};
    QButtonGroup* m_mediaMode = nullptr;
    std::array<PictureBox*, 2> m_pictures{};
    QLabel* m_label1 = nullptr;
    QSlider* m_slider1 = nullptr;
    QAction* m_help1 = nullptr;
    QAction* m_version = nullptr;
};

} // namespace vemba
