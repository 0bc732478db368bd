#include "Waveform.h"

#include "ToneFormat.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vemba::tones {

namespace {

double harmonicLimit() {
    return std::min(kHarmonicLimitHz, 0.45 * kSampleRate);
}

} // namespace

double harmonicWeight(double frequency) {
    const double limit = harmonicLimit();
    const double fadeStart = limit - kHarmonicFadeHz;
    if (frequency <= fadeStart) {
        return 1.0;
    }
    if (frequency >= limit) {
        return 0.0;
    }
    return 0.5 * (1.0 + std::cos(std::numbers::pi * (frequency - fadeStart) / kHarmonicFadeHz));
}

double waveValue(WaveShape shape, double phase, double frequency, int maxHarmonic) {
    const double angle = 2.0 * std::numbers::pi * phase;
    const double s1 = std::sin(angle);
    if (shape == WaveShape::Sine) {
        return s1;
    }
    // Harmonic n + 2 from harmonic n by one rotation of twice the angle: far
    // cheaper than a sine per harmonic, and exact enough over a thousand steps.
    const double c1 = std::cos(angle);
    const double c2 = c1 * c1 - s1 * s1;
    const double s2 = 2.0 * s1 * c1;
    const double limit = harmonicLimit();
    const double fadeStart = limit - kHarmonicFadeHz;
    double re = c1;
    double im = s1;
    double sum = 0.0;
    double sign = 1.0;
    for (int n = 1; n <= maxHarmonic; n += 2) {
        const double f = n * frequency;
        if (f >= limit) {
            break;
        }
        const double weight = f <= fadeStart ? 1.0 : harmonicWeight(f);
        sum += sign * weight * im / (static_cast<double>(n) * n);
        const double nextRe = re * c2 - im * s2;
        im = re * s2 + im * c2;
        re = nextRe;
        sign = -sign;
    }
    return sum;
}

} // namespace vemba::tones
