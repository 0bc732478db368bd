#pragma once

#include "ToneCatalogue.h"

namespace vemba::tones {

// Weight of a harmonic at `frequency`: 1 well below the limit, fading along a
// raised cosine to 0 at the limit, 0 above it.
double harmonicWeight(double frequency);

// One period of the wave at `phase` (in cycles) whose fundamental is
// `frequency`, with a fundamental of amplitude 1. A triangle is band-limited:
// odd harmonics with amplitude 1/n^2 and alternating sign, each weighted by
// harmonicWeight. `maxHarmonic` caps the series where a rough shape will do.
double waveValue(WaveShape shape, double phase, double frequency, int maxHarmonic = 1 << 30);

} // namespace vemba::tones
