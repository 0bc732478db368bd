#include "Dither.h"

#include "ToneFormat.h"

#include <algorithm>
#include <cmath>

namespace vemba::tones {

std::uint64_t NoiseSource::next() {
    m_state += 0x9e3779b97f4a7c15ULL;
    std::uint64_t z = m_state;
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
}

std::uint64_t seedFor(std::string_view fileName) {
    // FNV-1a over the name.
    std::uint64_t hash = 0xcbf29ce484222325ULL;
    for (const char c : fileName) {
        hash = (hash ^ static_cast<unsigned char>(c)) * 0x100000001b3ULL;
    }
    return hash;
}

std::vector<std::int16_t> ditherTo16Bit(std::span<const double> samples, std::uint64_t seed) {
    NoiseSource noise(seed);
    std::vector<std::int16_t> out;
    out.reserve(samples.size());
    for (const double sample : samples) {
        const double dither = noise.uniform() - noise.uniform();
        const double level = std::floor(sample * kFullScale + dither + 0.5);
        out.push_back(static_cast<std::int16_t>(std::clamp(level, -32768.0, 32767.0)));
    }
    return out;
}

} // namespace vemba::tones
