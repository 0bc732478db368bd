#pragma once

namespace vemba::tones {

// Every tone file shares one format: 16-bit stereo PCM at this rate, both
// channels identical.
inline constexpr int kSampleRate = 48000;
inline constexpr int kChannels = 2;

// Peak of every file. Three channels at full volume then sum to about
// -0.5 dBFS, so the mix never clips.
inline constexpr double kPeakDbfs = -10.0;

// Full scale of a 16-bit sample: a value of 1.0 becomes 32768 steps.
inline constexpr double kFullScale = 32768.0;

// Triangle harmonics stop below this frequency (and below 0.45 of the rate,
// which at 48 kHz is further up); each fades out over the band just below it
// rather than switching off, so a sweep moves them in and out smoothly.
inline constexpr double kHarmonicLimitHz = 20000.0;
inline constexpr double kHarmonicFadeHz = 2000.0;

// A sweep's nominal up-and-down cycle; the exact length is chosen so that the
// phase closes on a whole number of cycles.
inline constexpr double kSweepSeconds = 4.0;

} // namespace vemba::tones
