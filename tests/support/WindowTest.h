#pragma once

// The main window over a recording audio layer, in a temporary program
// directory, with failure messages collected instead of shown.

#include "FormStyle.h"
#include "ProgramWindow.h"
#include "RecordingAudioLayer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace vemba::testing {

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { installFormAppearance(); }

    void makeForm(const ProgramWindow::ControllerFactory& makeController = {}) {
        ASSERT_TRUE(dir.isValid());
        audio.script.programDir = dir.path();
        window = std::make_unique<ProgramWindow>(ProgramWindow::Services{dir.path(), &audio},
                                                 makeController);
        form = &window->form();
        window->errors().setShowsMessageBoxes(false);
        QObject::connect(&window->errors(), &ErrorPresenter::reported,
                         [this](const QString& m) { messages << m; });
    }

    QTemporaryDir dir;
    RecordingAudioLayer audio;
    std::unique_ptr<ProgramWindow> window;
    Form1* form = nullptr;
    QStringList messages;
};

} // namespace vemba::testing
