#pragma once

// The main window over a recording audio layer, in a temporary program
// directory, with failure messages collected instead of shown.

#include "Form1.h"
#include "FormStyle.h"
#include "RecordingAudioLayer.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <memory>

namespace vemba::testing {

class WindowTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { installFormAppearance(); }

    void makeForm(const Form1::ControllerFactory& makeController = {}) {
        ASSERT_TRUE(dir.isValid());
        audio.script.programDir = dir.path();
        form = std::make_unique<Form1>(Form1::Services{dir.path(), &audio}, makeController);
        form->errors().setShowsMessageBoxes(false);
        QObject::connect(&form->errors(), &ErrorPresenter::reported,
                         [this](const QString& m) { messages << m; });
    }

    QTemporaryDir dir;
    RecordingAudioLayer audio;
    std::unique_ptr<Form1> form;
    QStringList messages;
};

} // namespace vemba::testing
