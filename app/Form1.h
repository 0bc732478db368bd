#pragma once

#include "ErrorPresenter.h"
#include "FormWidgets.h"
#include "SettingsStore.h"
#include "SoundEngine.h"
#include "ToneSelection.h"

#include <QMainWindow>
#include <array>
#include <functional>
#include <memory>

class QAbstractButton;
class QAction;
class QButtonGroup;
class QCheckBox;
class QLabel;
class QSlider;

namespace vemba {

class MainWindowController;

// The main window. Its controls are the only record of the user's choices
// while the program runs: the handlers and the sound engine read them every
// time and keep no copy.
class Form1 : public QMainWindow, public ToneSelection {
    Q_OBJECT

public:
    struct Services {
        QString programDir;
        audio::AudioLayer* audio = nullptr;
    };
    using ControllerFactory = std::function<std::unique_ptr<MainWindowController>(Form1&)>;

    explicit Form1(Services services, const ControllerFactory& makeController = {});
    ~Form1() override;

    void Form_Load();

    // Controls. Channels and arrays are numbered as the window names them:
    // Check(1..3), Option(1..4, member), optMediaMode(0..1), Picture1(0..1).
    QCheckBox* Check(int channel) const;
    QAbstractButton* Option(int array, int member) const;
    QAbstractButton* optMediaMode(int member) const;
    QLabel* Label1() const { return m_label1; }
    QSlider* Slider1() const { return m_slider1; }
    PictureBox* Picture1(int member) const;
    QAction* MHelp1() const { return m_help1; }
    QAction* MVersion() const { return m_version; }

    // A check box's value: 1 ticked, 0 cleared.
    int checkValue(int channel) const;
    // Sets the lamp's background (0x00BBGGRR) and shows it at once.
    void setLabel1BackColor(std::uint32_t bgr);

    MainWindowController& controller() { return *m_controller; }
    SoundEngine& engine() { return *m_engine; }
    SettingsStore& settings() { return *m_settings; }
    ErrorPresenter& errors() { return m_errors; }
    const QString& programDir() const { return m_programDir; }

    // ToneSelection
    bool isVariantSelected(int channel, int member) const override;
    bool isWaveShapeSelected(int member) const override;
    int sliderPosition() const override;
    audio::WindowHandle windowHandle() const override;

private:
    void buildControls();
    void buildMenu();
    void connectEvents();
    // Runs a handler from a signal: nothing it throws may leave the slot.
    void runHandler(const std::function<void()>& handler);

    QString m_programDir;
    ErrorPresenter m_errors;
    std::unique_ptr<SettingsStore> m_settings;
    std::unique_ptr<SoundEngine> m_engine;
    std::unique_ptr<MainWindowController> m_controller;

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
