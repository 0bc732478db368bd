#include "ToneCatalogue.h"

namespace vemba {

namespace {

// The rows of ToneFiles.txt, as the build writes them out.
constexpr std::array<ToneRow, kChannelCount * kVariantCount> kRows{{
#include "ToneFiles.inc"
}};

constexpr std::array<std::array<double, 3>, kChannelCount> kBands{{
    {20.0, 30.0, 40.0},
    {5000.0, 7500.0, 10000.0},
    {300.0, 450.0, 600.0},
}};

} // namespace

const std::array<ToneRow, kChannelCount * kVariantCount>& ToneCatalogue::rows() {
    return kRows;
}

std::string_view ToneCatalogue::fileName(int channel, int variant, WaveShape shape) {
    for (const ToneRow& row : kRows) {
        if (row.channel == channel && row.variant == variant) {
            return shape == WaveShape::Sine ? row.sineFile : row.triangleFile;
        }
    }
    return {};
}

std::array<double, 3> ToneCatalogue::bandTones(int channel) {
    if (channel < 1 || channel > kChannelCount) {
        return {};
    }
    return kBands[static_cast<std::size_t>(channel - 1)];
}

} // namespace vemba
