#pragma once

#include <QString>
#include <cstddef>
#include <vector>

namespace vemba::audio {

// How a loop of `frames` frames at one rate becomes a loop at another. The
// buffer is played over and over, so its length must be a whole period of
// what it holds: when a few copies of the loop come out at a whole number of
// output frames, that many copies are converted and the pitch stays exact;
// otherwise one copy becomes the nearest whole number of frames, which
// changes the pitch by at most half a frame per loop.
struct LoopPlan {
    std::size_t copies = 1;    // of the input loop
    std::size_t outFrames = 0; // of the converted buffer
};

LoopPlan planLoop(std::size_t frames, int fromRate, int toRate);

// Converts `in` (interleaved, `channels` per frame, heard as an endless loop)
// into `plan.outFrames` frames at `toRate`. The filter sees the loop's own
// end before its start and its start after its end, never silence, so the
// seam is as clean as the rest. Empty on success, else the resampler's text.
QString resampleLoop(const std::vector<float>& in, int channels, int fromRate, int toRate,
                     const LoopPlan& plan, std::vector<float>& out);

} // namespace vemba::audio
