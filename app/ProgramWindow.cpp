#include "ProgramWindow.h"

#include <QAction>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QSlider>

namespace vemba {

ProgramWindow::ProgramWindow(Services services, const ControllerFactory& makeController)
    : m_form(std::make_unique<Form1>()), m_selection(*m_form),
      m_settings(SettingsStore::forProgram(
          services.programDir, [this](const QString& message) { m_errors.report(message); })),
      m_engine(*services.audio, m_selection, services.programDir), m_guard(m_errors),
      m_status(*m_form) {
    m_errors.setWindow(m_form.get());
    const MainWindowController::Services handlerServices{*m_form, m_engine, m_settings,
                                                         services.programDir};
    m_controller = makeController ? makeController(handlerServices)
                                  : std::make_unique<MainWindowController>(handlerServices);
    connectEvents();
}

ProgramWindow::~ProgramWindow() = default;

void ProgramWindow::streamLost(const QString& message) {
    m_guard.run([&] { m_controller->streamLost(message); });
}

void ProgramWindow::playFailed(const QString& message) {
    m_errors.report(message);
    m_controller->playFailed();
}

void ProgramWindow::bringForward() {
    m_form->setWindowState(m_form->windowState() & ~Qt::WindowMinimized);
    m_form->show();
    m_form->raise();
    m_form->activateWindow();
}

void ProgramWindow::quit() {
    m_form->close();
    // No wait here for the stop's fade: the audio layer lets it be heard
    // and closes its stream when the window's sound goes, after the loop.
    QCoreApplication::quit();
}

void ProgramWindow::connectEvents() {
    Form1* form = m_form.get();
    MainWindowController* c = m_controller.get();
    const auto guarded = [this, c](auto handler) {
        return [this, c, handler] { m_guard.run([&] { (c->*handler)(); }); };
    };
    const auto guardedIndex = [this, c](auto handler) {
        return [this, c, handler](int id, bool checked) {
            // A member that became selected; the one cleared raises nothing.
            if (checked) {
                m_guard.run([&] { (c->*handler)(static_cast<std::int16_t>(id)); });
            }
        };
    };

    const std::array checkHandlers{&MainWindowController::Check1_Click,
                                   &MainWindowController::Check2_Click,
                                   &MainWindowController::Check3_Click};
    for (int n = 1; n <= 3; ++n) {
        QObject::connect(form->Check(n), &QCheckBox::toggled, form,
                         guarded(checkHandlers.at(n - 1)));
    }
    const std::array optionHandlers{
        &MainWindowController::Option1_Click, &MainWindowController::Option2_Click,
        &MainWindowController::Option3_Click, &MainWindowController::Option4_Click};
    for (int n = 1; n <= 4; ++n) {
        QObject::connect(form->optionGroup(n), &QButtonGroup::idToggled, form,
                         guardedIndex(optionHandlers.at(n - 1)));
    }
    QObject::connect(form->mediaModeGroup(), &QButtonGroup::idToggled, form,
                     guardedIndex(&MainWindowController::optMediaMode_Click));
    QObject::connect(form->Slider1(), &QSlider::valueChanged, form,
                     guarded(&MainWindowController::Slider1_Change));
    QObject::connect(form->MHelp1(), &QAction::triggered, form,
                     guarded(&MainWindowController::MHelp1_Click));
    QObject::connect(form->MVersion(), &QAction::triggered, form,
                     guarded(&MainWindowController::MVersion_Click));
    QObject::connect(form, &Form1::queryUnload, form,
                     guarded(&MainWindowController::Form_QueryUnload));
    // A session that ends quits the program with the window still open: it
    // closes the normal way first, so that the channels stop and the place is kept.
    QObject::connect(qApp, &QCoreApplication::aboutToQuit, form, [form] {
        if (form->isVisible()) {
            form->close();
        }
    });
}

} // namespace vemba
