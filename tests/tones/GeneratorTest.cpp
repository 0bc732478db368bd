// The generator's building blocks, where the files alone cannot show a fault.
#include "SweepPath.h"
#include "ToneFile.h"
#include "ToneSignal.h"

#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <gtest/gtest.h>
#include <stdexcept>

namespace vemba::tones {
namespace {

struct Band {
    double low;
    double high;
    double seconds;
};

class SweepPathBand : public ::testing::TestWithParam<Band> {};

// The phase must be the running integral of the frequency, or the sweep's
// pitch is not what the path says and the loop does not close. Integrated
// here independently with Simpson's rule, frame by frame around the loop.
TEST_P(SweepPathBand, PhaseIsTheIntegralOfTheFrequencyAndClosesTheLoop) {
    const Band b = GetParam();
    const SweepPath path(b.low, b.high, 48000, b.seconds);
    // The loop's length moves by at most half a cycle from the nominal one.
    const double seconds = static_cast<double>(path.frames()) / 48000.0;
    EXPECT_NEAR(seconds, b.seconds, 0.5 * seconds / static_cast<double>(path.cycles()) + 1e-4);
    EXPECT_NEAR(path.scale(), 1.0, 0.005);
    EXPECT_NEAR(path.frequencyAt(0), b.low, 0.01 * b.low);
    EXPECT_NEAR(path.frequencyAt(static_cast<double>(path.frames()) / 2), b.high, 0.01 * b.high);

    double cycles = 0.0;
    double worst = 0.0;
    for (std::int64_t n = 0; n < path.frames(); ++n) {
        const double x = static_cast<double>(n);
        cycles +=
            (path.frequencyAt(x) + 4.0 * path.frequencyAt(x + 0.5) + path.frequencyAt(x + 1.0)) /
            (6.0 * 48000.0);
        const double diff = path.phaseAt(n + 1) - (cycles - std::floor(cycles));
        worst = std::max(worst, std::abs(diff - std::round(diff)));
    }
    EXPECT_LT(worst, 1e-6);
    EXPECT_NEAR(cycles, static_cast<double>(path.cycles()), 1e-6);
}

INSTANTIATE_TEST_SUITE_P(Bands, SweepPathBand,
                         ::testing::Values(Band{20, 40, 4}, Band{300, 600, 4}, Band{5000, 10000, 4},
                                           Band{20, 40, 2}, Band{100, 1000, 5}, Band{1, 3, 2}));

TEST(SweepPath, RejectsBandsItCannotSweep) {
    for (const Band b : {Band{0, 40, 4}, Band{40, 20, 4}, Band{20, 20, 4}, Band{20, 40, 0},
                         Band{-5, 40, 4}, Band{20, NAN, 4}}) {
        EXPECT_THROW(SweepPath(b.low, b.high, 48000, b.seconds), std::invalid_argument)
            << b.low << " to " << b.high << " over " << b.seconds << " s";
    }
}

TEST(ToneSignal, RejectsWhatCannotLoopOrIsNotInTheCatalogue) {
    EXPECT_THROW(ToneSignal::forRow(0, 0, WaveShape::Sine), std::invalid_argument);
    EXPECT_THROW(ToneSignal::forRow(4, 0, WaveShape::Sine), std::invalid_argument);
    EXPECT_THROW(ToneSignal::forRow(1, -1, WaveShape::Triangle), std::invalid_argument);
    EXPECT_THROW(ToneSignal::forRow(1, 5, WaveShape::Triangle), std::invalid_argument);
    EXPECT_THROW(ToneSignal::fixed({}, WaveShape::Sine), std::invalid_argument);
    EXPECT_THROW(ToneSignal::fixed({24000.0}, WaveShape::Sine), std::invalid_argument);
    EXPECT_THROW(ToneSignal::fixed({20.123}, WaveShape::Sine), std::invalid_argument);
    // Half and quarter hertz still loop, over two and four seconds.
    EXPECT_EQ(ToneSignal::fixed({20.5}, WaveShape::Sine).frames(), 2 * 48000);
    EXPECT_EQ(ToneSignal::fixed({20.0, 30.25}, WaveShape::Sine).frames(), 4 * 48000);
}

TEST(ToneFileWriter, ReportsWhatItCannotWriteAndLeavesNothingBehind) {
    std::string pattern = (std::filesystem::temp_directory_path() / "vemba-tones-XXXXXX").string();
    ASSERT_NE(mkdtemp(pattern.data()), nullptr);
    const std::filesystem::path dir = pattern;
    const std::vector<std::int16_t> samples(480, 100);

    EXPECT_NE(writeWav(dir / "missing" / "x.wav", samples), "");
    std::filesystem::create_directory(dir / "taken.wav");
    EXPECT_NE(writeWav(dir / "taken.wav", samples), "");
    std::ofstream(dir / "plain") << "not a directory";
    EXPECT_FALSE(writeToneSet(dir / "plain").empty());
    EXPECT_FALSE(writeToneSet(dir / "plain" / "below").empty());

    EXPECT_EQ(writeWav(dir / "ok.wav", samples), "");
    EXPECT_TRUE(std::filesystem::is_regular_file(dir / "ok.wav"));
    for (const auto& entry : std::filesystem::directory_iterator(dir)) {
        EXPECT_NE(entry.path().extension(), ".part") << entry.path();
    }
    std::filesystem::remove_all(dir);
}

} // namespace
} // namespace vemba::tones
