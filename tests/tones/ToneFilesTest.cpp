// The quality bars, checked on exactly the files the build wrote into the
// program directory.
#include "ToneAnalysis.h"
#include "ToneFile.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <iterator>
#include <map>
#include <numeric>
#include <sndfile.h>

namespace vemba::tonetest {
namespace {

constexpr double kRate = 48000.0;

std::filesystem::path programDir() {
    const char* dir = std::getenv("VEMBA_PROGRAM_DIR");
    return dir != nullptr ? dir : ".";
}

// Each file is read and measured once, however many tests look at it.
struct Loaded {
    WavFile wav;
    ToneMeasures measures;
};

const Loaded& load(const ToneFileCase& c) {
    static std::map<std::string, Loaded> cache;
    auto it = cache.find(c.name);
    if (it == cache.end()) {
        Loaded l;
        l.wav = readWav((programDir() / c.name).string());
        if (l.wav.error.empty()) {
            l.measures = measure(c, l.wav.left, kRate);
        }
        it = cache.emplace(c.name, std::move(l)).first;
    }
    return it->second;
}

tones::ToneSignal signalOf(const ToneFileCase& c) {
    return tones::ToneSignal::forRow(c.channel, c.variant, c.shape);
}

class ToneFile : public ::testing::TestWithParam<ToneFileCase> {
protected:
    void SetUp() override {
        const Loaded& l = load(GetParam());
        ASSERT_EQ(l.wav.error, "");
        ASSERT_GT(l.wav.left.size(), 16u);
    }
    const WavFile& wav() const { return load(GetParam()).wav; }
    const ToneMeasures& m() const { return load(GetParam()).measures; }
};

TEST_P(ToneFile, IsPlainSixteenBitStereoAt48kWithTwinChannels) {
    EXPECT_EQ(wav().format, SF_FORMAT_WAV | SF_FORMAT_PCM_16);
    EXPECT_EQ(wav().channels, 2);
    EXPECT_EQ(wav().sampleRate, 48000);
    EXPECT_TRUE(wav().left == wav().right);
}

TEST_P(ToneFile, PeaksNearMinusTenDbfs) {
    EXPECT_GE(m().peakDbfs, -10.5);
    EXPECT_LE(m().peakDbfs, -9.6);
}

TEST_P(ToneFile, LoopsWithoutASeam) {
    const ToneFileCase& c = GetParam();
    if (c.isSweep()) {
        EXPECT_GE(m().frames, 2 * 48000);
        EXPECT_LE(m().frames, 5 * 48000);
    } else {
        EXPECT_FALSE(intendedBins(c, m().frames, kRate).empty())
            << "a tone does not complete whole periods in " << m().frames << " frames";
    }
    // The frames after the last are the first ones again, as the signal
    // itself would go on, give or take the dither.
    const auto signal = signalOf(c);
    ASSERT_EQ(signal.frames(), m().frames);
    const double gain = tones::scaleToPeak(signal).gain;
    std::vector<double> next(4);
    signal.render(signal.frames(), next);
    for (std::size_t i = 0; i < next.size(); ++i) {
        EXPECT_NEAR(wav().left[i], next[i] * gain * 32768.0, 3.0) << "frame " << i;
    }
    EXPECT_LE(m().seamStep, m().largestInnerStep);
}

TEST_P(ToneFile, KeepsSpuriousContentBelowTheBar) {
    const ToneFileCase& c = GetParam();
    const double bar = !c.isSweep() ? -90.0 : c.shape == WaveShape::Sine ? -75.0 : -80.0;
    EXPECT_LE(m().spuriousDb, bar);
}

TEST_P(ToneFile, HoldsItsTonesAtPitchAndEqualLevel) {
    const ToneFileCase& c = GetParam();
    if (c.isSweep()) {
        GTEST_SKIP() << "a sweep has no fixed pitch";
    }
    ASSERT_EQ(m().toneFrequencies.size(), c.tones.size());
    for (std::size_t i = 0; i < c.tones.size(); ++i) {
        EXPECT_NEAR(m().toneFrequencies[i], c.tones[i], 0.05);
        EXPECT_NEAR(m().toneLevelsDb[i], 0.0, 0.1) << c.tones[i] << " Hz";
    }
}

TEST_P(ToneFile, SweepsTheBandOnceAndStaysInIt) {
    const ToneFileCase& c = GetParam();
    if (!c.isSweep()) {
        GTEST_SKIP() << "fixed tones";
    }
    EXPECT_NEAR(m().sweepMin, c.low, 0.01 * c.low);
    EXPECT_NEAR(m().sweepMax, c.high, 0.01 * c.high);
    EXPECT_EQ(m().sweepCrossings, 2);
}

// Superimposed tones in phase would peak far higher; with the file scaled to
// the common peak, a high crest factor means a quiet file.
TEST_P(ToneFile, SuperimposesWithALowCrestFactor) {
    const ToneFileCase& c = GetParam();
    if (c.tones.size() < 2) {
        GTEST_SKIP() << "one tone or a sweep";
    }
    const auto& x = wav().left;
    const double power = std::accumulate(x.begin(), x.end(), 0.0, [](double sum, std::int16_t s) {
        return sum + static_cast<double>(s) * s;
    });
    const double rms = std::sqrt(power / static_cast<double>(x.size()));
    const double peak = 32768.0 * std::pow(10.0, m().peakDbfs / 20.0);
    EXPECT_LE(peak / rms, 1.8);
}

TEST_P(ToneFile, TriangleCarriesOddHarmonicsAtOneOverNSquared) {
    const ToneFileCase& c = GetParam();
    if (c.shape != WaveShape::Triangle || c.tones.size() != 1) {
        GTEST_SKIP() << "not a single triangle tone";
    }
    const auto bins = spectrum(toDouble(wav().left));
    const auto k = static_cast<std::size_t>(std::llround(c.tones[0] * m().frames / kRate));
    const std::complex<double> unit = bins[k] / std::abs(bins[k]);
    // Harmonic n of a triangle, referred to the fundamental's phase, is real
    // and positive with relative amplitude 1/n^2 (the alternating signs of the
    // sine series make it so); a square wave or wrong signs fail here.
    for (int n = 3; n <= 7 && n * c.tones[0] <= 18000.0; n += 2) {
        const std::complex<double> ratio =
            bins[k * static_cast<std::size_t>(n)] / (std::abs(bins[k]) * std::pow(unit, n));
        EXPECT_NEAR(ratio.real(), 1.0 / (n * n), 1e-3 / (n * n)) << "harmonic " << n;
        EXPECT_NEAR(ratio.imag(), 0.0, 1e-3 / (n * n)) << "harmonic " << n;
    }
}

// The difference between the file and the exact signal is the dither plus the
// rounding: bounded by 1.5 steps, of variance 1/4 step^2 for triangular
// dither, and white (noise shaping would tilt it).
TEST_P(ToneFile, IsDitheredWithPlainTriangularNoise) {
    const auto exact = tones::scaleToPeak(signalOf(GetParam())).samples;
    ASSERT_EQ(exact.size(), wav().left.size());
    std::vector<double> error(exact.size());
    double worst = 0.0;
    double power = 0.0;
    for (std::size_t i = 0; i < exact.size(); ++i) {
        error[i] = wav().left[i] - exact[i] * 32768.0;
        worst = std::max(worst, std::abs(error[i]));
        power += error[i] * error[i];
    }
    EXPECT_LT(worst, 1.5);
    EXPECT_NEAR(power / static_cast<double>(exact.size()), 0.25, 0.02);
    const auto bins = spectrum(error);
    const std::size_t half = bins.size() / 2;
    double low = 0.0;
    double high = 0.0;
    for (std::size_t k = 1; k < bins.size(); ++k) {
        (k < half ? low : high) += std::norm(bins[k]);
    }
    EXPECT_NEAR(10.0 * std::log10(high / low), 0.0, 0.5);
}

INSTANTIATE_TEST_SUITE_P(All, ToneFile, ::testing::ValuesIn(catalogueCases()),
                         [](const auto& info) {
                             std::string name = info.param.name;
                             for (char& ch : name) {
                                 if (!std::isalnum(static_cast<unsigned char>(ch))) {
                                     ch = '_';
                                 }
                             }
                             return name;
                         });

std::string contents(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

TEST(ToneSet, GeneratingAgainWritesTheSameBytes) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vemba-tones-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path dir = pattern;
    const auto errors = tones::writeToneSet(dir);
    EXPECT_TRUE(errors.empty()) << errors.front();
    std::size_t files = 0;
    for (const ToneFileCase& c : catalogueCases()) {
        const std::string again = contents(dir / c.name);
        EXPECT_FALSE(again.empty()) << c.name;
        EXPECT_TRUE(again == contents(programDir() / c.name)) << c.name << " differs";
        ++files;
    }
    EXPECT_EQ(files, 30u);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 30);
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace vemba::tonetest
