// The quality bars, checked on exactly the files the build wrote into the
// program directory.
#include "ToneAnalysis.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <gtest/gtest.h>
#include <sndfile.h>
#include <tuple>

namespace vemba::toneanalysis {

void PrintTo(const ToneFileCase& c, std::ostream* os) {
    *os << c.name;
}

namespace {

constexpr double kRate = 48000.0;

std::filesystem::path programDir() {
    const char* dir = std::getenv("VEMBA_PROGRAM_DIR");
    return dir != nullptr ? dir : ".";
}

// Harmonic n of a triangle, referred to the fundamental's phase, is real and
// positive with relative amplitude 1/n^2 (the alternating signs of the sine
// series make it so); a square wave or wrong signs fail here.
void expectTriangleHarmonics(const std::vector<std::int16_t>& samples, double tone) {
    const auto bins = spectrum(std::vector<double>(samples.begin(), samples.end()));
    const auto k = static_cast<std::size_t>(std::llround(tone * samples.size() / kRate));
    const std::complex<double> unit = bins[k] / std::abs(bins[k]);
    for (int n = 3; n <= 7 && n * tone <= 18000.0; n += 2) {
        const std::complex<double> ratio =
            bins[k * static_cast<std::size_t>(n)] / (std::abs(bins[k]) * std::pow(unit, n));
        EXPECT_NEAR(ratio.real(), 1.0 / (n * n), 1e-3 / (n * n)) << "harmonic " << n;
        EXPECT_NEAR(ratio.imag(), 0.0, 1e-3 / (n * n)) << "harmonic " << n;
    }
}

class ToneFile : public ::testing::TestWithParam<ToneFileCase> {};

TEST_P(ToneFile, MeetsTheQualityBars) {
    const ToneFileCase& c = GetParam();
    const WavFile wav = readWav((programDir() / c.name).string());
    ASSERT_EQ(wav.error, "");
    ASSERT_GT(wav.left.size(), 16u);
    EXPECT_EQ(std::tuple(wav.format, wav.channels, wav.sampleRate),
              std::tuple(SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, 48000));
    EXPECT_TRUE(wav.left == wav.right);

    const ToneMeasures m = measure(c, wav.left, kRate);
    EXPECT_LE(m.spuriousDb, !c.isSweep() ? -90.0 : c.shape == WaveShape::Sine ? -75.0 : -80.0);
    if (c.isSweep()) {
        EXPECT_GE(m.frames, 2 * 48000);
        EXPECT_LE(m.frames, 5 * 48000);
        EXPECT_NEAR(m.sweepMin, c.low, 0.01 * c.low);
        EXPECT_NEAR(m.sweepMax, c.high, 0.01 * c.high);
        EXPECT_EQ(m.sweepCrossings, 2) << "not one up-and-down pass per loop";
    } else {
        ASSERT_EQ(m.toneFrequencies.size(), c.tones.size());
        for (std::size_t i = 0; i < c.tones.size(); ++i) {
            EXPECT_NEAR(m.toneFrequencies[i], c.tones[i], 0.05);
            EXPECT_NEAR(m.toneLevelsDb[i], 0.0, 0.1) << c.tones[i] << " Hz";
        }
    }
    if (c.shape == WaveShape::Triangle && c.tones.size() == 1) {
        expectTriangleHarmonics(wav.left, c.tones[0]);
    }
    // The seam is no larger a step than the loop takes anywhere else.
    EXPECT_LE(m.seamStep, m.largestInnerStep);
}

INSTANTIATE_TEST_SUITE_P(All, ToneFile, ::testing::ValuesIn(catalogueCases()));

} // namespace
} // namespace vemba::toneanalysis
