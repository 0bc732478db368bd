#pragma once

// Measurement of the tone files, shared by the tests and vemba-tone-report so
// that the published figures are the tested ones.

#include "ToneCatalogue.h"

#include <complex>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

namespace vemba::toneanalysis {

// What a tone file should hold, from its catalogue row alone.
struct ToneFileCase {
    std::string name; // without the leading separator
    int channel = 0;
    int variant = 0;
    WaveShape shape = WaveShape::Sine;
    std::vector<double> tones; // fixed tones; empty for a sweep
    double low = 0.0;          // sweep band
    double high = 0.0;
    bool isSweep() const { return tones.empty(); }
};

// The 30 files, in catalogue order, sine before triangle.
std::vector<ToneFileCase> catalogueCases();

struct WavFile {
    std::string error; // empty when the file was read
    int format = 0;    // libsndfile's format code
    int sampleRate = 0;
    int channels = 0;
    std::vector<std::int16_t> left;
    std::vector<std::int16_t> right;
};

WavFile readWav(const std::string& path);

// Complex spectrum of a real signal over its whole length, bins 0 to N/2.
std::vector<std::complex<double>> spectrum(std::span<const double> x);

// Intended bins of a fixed-tone file of `frames` frames: each tone and, for a
// triangle, its odd harmonics below 20 kHz. Empty when a tone does not fall on
// a bin, that is when the file does not hold whole periods of it.
std::vector<std::size_t> intendedBins(const ToneFileCase& c, std::int64_t frames, double rate);

// Measured figures of one file (its left channel).
struct ToneMeasures {
    std::int64_t frames = 0;
    double peakDbfs = 0.0;
    // Fixed files: worst bin that is no intended component, against the
    // strongest tone. Sine sweeps: energy outside low/1.5 .. high*1.5; triangle
    // sweeps: energy above 20 kHz; both against the whole signal.
    double spuriousDb = 0.0;
    double seamStep = 0.0;
    double largestInnerStep = 0.0;
    std::vector<double> toneFrequencies; // fixed files: estimated pitch of each tone
    std::vector<double> toneLevelsDb;    // fixed files: each tone against the strongest
    double sweepMin = 0.0;               // sweeps: instantaneous frequency range
    double sweepMax = 0.0;
    int sweepCrossings = 0; // sweeps: passes through the band's middle per loop
};

ToneMeasures measure(const ToneFileCase& c, std::span<const std::int16_t> samples, double rate);

} // namespace vemba::toneanalysis
