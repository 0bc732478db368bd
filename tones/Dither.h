#pragma once

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vemba::tones {

// SplitMix64: small, well mixed, and the same sequence on every compiler and
// standard library, which the standard distributions do not promise.
class NoiseSource {
public:
    explicit NoiseSource(std::uint64_t seed) : m_state(seed) {}

    std::uint64_t next();
    // Uniform in [0, 1).
    double uniform() { return static_cast<double>(next() >> 11) * 0x1.0p-53; }

private:
    std::uint64_t m_state;
};

// A fixed seed per file, so that no two files carry the same noise (it would
// add up coherently when channels play together) and every build writes the
// same bytes.
std::uint64_t seedFor(std::string_view fileName);

// Quantises samples in full-scale units (1.0 = 32768 steps) to 16 bits with
// plain TPDF dither of +-1 step. Not noise-shaped: shaping would push the
// noise up into the band where a tone file must stay clean.
std::vector<std::int16_t> ditherTo16Bit(std::span<const double> samples, std::uint64_t seed);

} // namespace vemba::tones
