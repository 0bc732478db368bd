#pragma once

#include "SweepPath.h"
#include "ToneCatalogue.h"

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

namespace vemba::tones {

// The unquantised, unscaled sound of one tone file: one fixed tone, three
// superimposed, or a sweep across the band, as sines or triangles. Its loop
// holds a whole number of periods of every component.
class ToneSignal {
public:
    // The tone of a catalogue row; throws std::invalid_argument for a channel
    // or variant the catalogue lacks.
    static ToneSignal forRow(int channel, int variant, WaveShape shape);
    // Fixed tones in hertz, superimposed when more than one.
    static ToneSignal fixed(std::vector<double> tones, WaveShape shape);
    // A sweep from `low` up to `high` and back.
    static ToneSignal sweeping(double low, double high, WaveShape shape);

    std::int64_t frames() const { return m_frames; }
    const std::optional<SweepPath>& sweep() const { return m_sweep; }

    // Frames first, first + 1, ... into `out`; past the loop end the signal
    // goes on as it would if the loop were longer.
    void render(std::int64_t first, std::span<double> out) const;

private:
    struct Voice {
        double frequency;
        std::int64_t cyclesPerLoop;
    };

    explicit ToneSignal(WaveShape shape) : m_shape(shape) {}
    void chooseOffsets();
    double fixedValue(std::int64_t frame) const;
    // Frames after which the fixed tones repeat together.
    std::int64_t fixedPeriod() const;
    // Greatest common divisor of the tones' cycles per loop: how many times
    // they repeat together within it.
    std::int64_t commonRepeats() const;

    WaveShape m_shape;
    std::int64_t m_frames = 0;
    std::vector<Voice> m_voices;
    // Start phase of each fixed tone, in cycles; chosen to keep the peak low.
    std::vector<double> m_offsets;
    std::optional<SweepPath> m_sweep;
};

} // namespace vemba::tones
