#include "ToneCatalogue.h"

namespace vemba {

namespace {

constexpr std::array<ToneRow, kChannelCount * kVariantCount> kRows{{
    {1, 0, "/20.wav", "/t20.wav"},
    {1, 1, "/30.wav", "/t30.wav"},
    {1, 2, "/40.wav", "/t40.wav"},
    {1, 3, "/203040.wav", "/t203040.wav"},
    {1, 4, "/20-40.wav", "/t20-40.wav"},
    {2, 0, "/5000.wav", "/t5000.wav"},
    {2, 1, "/7500.wav", "/t7500.wav"},
    {2, 2, "/10000.wav", "/t10000.wav"},
    {2, 3, "/5710000.wav", "/t5710000.wav"},
    {2, 4, "/5-10000.wav", "/t5-10000.wav"},
    {3, 0, "/300.wav", "/t300.wav"},
    {3, 1, "/450.wav", "/t450.wav"},
    {3, 2, "/600.wav", "/t600.wav"},
    {3, 3, "/300450600.wav", "/t300450600.wav"},
    {3, 4, "/300-600.wav", "/t300-600.wav"},
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
