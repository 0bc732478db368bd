#pragma once

// The main window over a recording audio layer, in a temporary program
// directory, with failure messages collected instead of shown and every
// handler call logged; and the helpers of the tests of the real program.

#include "FormStyle.h"
#include "ProgramWindow.h"
#include "RecordingAudioLayer.h"

#include <QAbstractButton>
#include <QApplication>
#include <QButtonGroup>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QSlider>
#include <QTemporaryDir>
#include <QTimer>
#include <gtest/gtest.h>
#include <memory>

namespace vemba::testing {

// The built tone files that match `patterns`, copied into `dir`.
inline void copyTones(const QString& dir, const QStringList& patterns = {"*.wav"}) {
    const QDir from(qEnvironmentVariable("VEMBA_PROGRAM_DIR"));
    for (const QString& name : from.entryList(patterns)) {
        QFile::remove(dir + '/' + name);
        ASSERT_TRUE(QFile::copy(from.filePath(name), dir + '/' + name)) << name.toStdString();
    }
}

// The window's failure messages collected in `messages` instead of shown.
inline void collectMessages(ProgramWindow& window, QStringList& messages) {
    window.errors().setShowsMessageBoxes(false);
    QObject::connect(&window.errors(), &ErrorPresenter::reported,
                     [&messages](const QString& m) { messages << m; });
}

// The real handlers, each call logged first with its control's value as the
// handler sees it: "Check1_Click 1", "Option2_Click 4", "Slider1_Change 7".
// A member that is not its group's one selected member is marked "unselected".
class LoggingController : public MainWindowController {
    using Base = MainWindowController;

public:
    LoggingController(const Services& services, QStringList& log) : Base(services), m_log(log) {}

    void Check1_Click() override { m_log << check(1), Base::Check1_Click(); }
    void Check2_Click() override { m_log << check(2), Base::Check2_Click(); }
    void Check3_Click() override { m_log << check(3), Base::Check3_Click(); }
    void Option1_Click(qint16 i) override { m_log << option(1, i), Base::Option1_Click(i); }
    void Option2_Click(qint16 i) override { m_log << option(2, i), Base::Option2_Click(i); }
    void Option3_Click(qint16 i) override { m_log << option(3, i), Base::Option3_Click(i); }
    void Option4_Click(qint16 i) override { m_log << option(4, i), Base::Option4_Click(i); }
    void optMediaMode_Click(qint16 i) override {
        m_log << selection("optMediaMode", form().mediaModeGroup(), i), Base::optMediaMode_Click(i);
    }
    void Slider1_Change() override {
        m_log << QStringLiteral("Slider1_Change %1").arg(form().Slider1()->value()),
            Base::Slider1_Change();
    }

private:
    QString check(int n) {
        return QStringLiteral("Check%1_Click %2").arg(n).arg(form().checkValue(n));
    }
    QString option(int n, int i) {
        return selection(QStringLiteral("Option%1").arg(n), form().optionGroup(n), i);
    }
    static QString selection(const QString& name, const QButtonGroup* group, int i) {
        return QStringLiteral("%1_Click %2%3")
            .arg(name)
            .arg(i)
            .arg(group->checkedId() == i ? "" : " unselected");
    }
    QStringList& m_log;
};

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { installFormAppearance(); }
    void SetUp() override { makeForm(); }

    void makeForm() {
        ASSERT_TRUE(dir.isValid());
        audio.script.programDir = dir.path();
        window = std::make_unique<ProgramWindow>(ProgramWindow::Services{dir.path(), &audio},
                                                 [this](const MainWindowController::Services& s) {
                                                     return std::make_unique<LoggingController>(
                                                         s, events);
                                                 });
        form = &window->form();
        collectMessages(*window, messages);
    }

    QWidget* control(const char* name) const { return form->findChild<QWidget*>(name); }

    // Runs the program's event loop until the program ends by itself; 1 when
    // it is still running after five seconds.
    static int runProgram() {
        QTimer watchdog;
        watchdog.setSingleShot(true);
        QObject::connect(&watchdog, &QTimer::timeout, [] { QCoreApplication::exit(1); });
        watchdog.start(5000);
        return QApplication::exec();
    }

    QTemporaryDir dir;
    RecordingAudioLayer audio;
    std::unique_ptr<ProgramWindow> window;
    Form1* form = nullptr;
    QStringList messages;
    QStringList events;
};

} // namespace vemba::testing
