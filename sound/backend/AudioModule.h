#pragma once

#include "AudioLayer.h"

#include <QString>
#include <memory>

namespace vemba::audio {

// The audio layer that plays, with libpulse, libsoxr, libsndfile and its
// codecs, lives in a module of its own beside the program (kAudioModuleName),
// loaded by ModuleAudioLayer the first time the switch goes ON: the window
// opens without loading any of them. Program and module are built together,
// so the interface is plain C++.
class AudioModule {
public:
    virtual ~AudioModule() = default;
    // The mixing audio layer; programDir holds the SDL module.
    virtual std::unique_ptr<AudioLayer> createLayer(const QString& programDir) = 0;
    // Returns once the stream openings under way have ended (their thread
    // reads the environment).
    virtual void finishOpenings() = 0;
};

inline constexpr char kAudioModuleName[] = "vemba-pc-audio.so";
// The module's one exported function: its AudioModule, which lives as long
// as the process.
inline constexpr char kAudioModuleEntry[] = "vemba_audio_module";
using AudioModuleEntry = AudioModule* (*)();

} // namespace vemba::audio
