#pragma once

#include "AudioLayer.h"

#include <QString>
#include <QStringList>
#include <functional>
#include <memory>
#include <set>

namespace vemba::testing {

// An audio layer that plays nothing and logs every operation in order, one
// line each, e.g. "createSoundBufferFromFile /20.wav", "play /20.wav 1",
// "setVolume /20.wav -602". Buffers are named by their file's name.
class RecordingAudioLayer : public audio::AudioLayer {
public:
    struct Script {
        bool failDevice = false;
        bool failCooperativeLevel = false;
        std::set<QString> failingFiles = {};       // file names such as "/20.wav"
        std::set<QString> throwingFiles = {};      // loading these throws std::runtime_error
        QString programDir = {};                   // stripped from logged paths
        std::function<void()> onDeviceCreate = {}; // runs as the device is asked for
        std::function<void()> onStop = {};         // runs as a buffer is stopped
        std::function<void()> onPlay = {};         // runs as a buffer is played
    };

    QStringList log;
    Script script;

    Result createRoot(std::unique_ptr<audio::AudioRoot>& root) override;
};

} // namespace vemba::testing
