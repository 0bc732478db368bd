#pragma once

#include <cstdint>

namespace vemba::tones {

// A sweep from `low` up to `high` and back, whose log frequency follows a
// raised cosine: it starts at `low`, turns smoothly at both ends and makes one
// up-and-down cycle per loop. The loop length in frames and a tiny rescale of
// the path are chosen together so that the phase makes a whole number of
// cycles, which lets the loop repeat without a seam.
class SweepPath {
public:
    SweepPath(double low, double high, int sampleRate, double nominalSeconds);

    std::int64_t frames() const { return m_frames; }
    // Whole cycles the phase makes in one loop.
    std::int64_t cycles() const { return m_cycles; }
    // Factor applied to the path's frequencies to close the phase.
    double scale() const { return m_scale; }

    double frequencyAt(double frame) const;
    // Phase in cycles at a frame, whole cycles dropped: the loop repeats
    // exactly, and precision does not fade however far a frame lies.
    double phaseAt(std::int64_t frame) const;

private:
    int m_sampleRate;
    double m_low;
    double m_depth; // half the log-frequency span
    std::int64_t m_frames = 0;
    std::int64_t m_cycles = 0;
    double m_scale = 1.0;
    // Terms of the phase's periodic part, one per harmonic of the loop.
    static constexpr int kTerms = 24;
    double m_terms[kTerms] = {};
};

} // namespace vemba::tones
