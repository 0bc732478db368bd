#pragma once

#include <cstdint>
#include <vector>

namespace vemba::audio {

// A whole sound, ready for the mixer: interleaved stereo float at the output
// rate. Never changed once a voice plays it.
struct SampleData {
    std::vector<float> samples;

    std::uint32_t frames() const { return static_cast<std::uint32_t>(samples.size() / 2); }
};

} // namespace vemba::audio
