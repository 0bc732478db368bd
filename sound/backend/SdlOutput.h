#pragma once

#include "OutputStream.h"

#include <memory>

namespace vemba::audio {

// Renders frames of float stereo at Mixer::kSampleRate into out; called on
// the stream's own thread.
using RenderFunction = void (*)(void* renderer, float* out, int frames);

// SDL's audio output. It lives in a module of its own beside the program
// (kSdlModuleName), loaded only when a stream goes through SDL: where a
// PulseAudio server answers, as on most desktops, SDL and the many libraries
// it brings are never loaded. Program and module are built together, so the
// interface is plain C++.
class SdlOutput {
public:
    virtual ~SdlOutput() = default;
    // Opens a silent stream that renders through render(renderer, ...),
    // named after `title` (streamName) for good: SDL names a stream once.
    virtual Result open(RenderFunction render, void* renderer, const QString& title,
                        std::unique_ptr<OutputStream>& stream) = 0;
};

inline constexpr char kSdlModuleName[] = "vemba-pc-sdl-audio.so";
// The module's one exported function: a new SdlOutput, which owns its
// share of SDL's audio subsystem.
inline constexpr char kSdlOutputEntry[] = "vemba_sdl_output_create";
using SdlOutputFactory = SdlOutput* (*)();

} // namespace vemba::audio
