#pragma once

#include <array>
#include <string_view>

namespace vemba {

// Wave shape index as the wave-shape option pair numbers it.
enum class WaveShape { Sine = 0, Triangle = 1 };

// Tone variants as the channel option arrays number them.
enum class ToneVariant { FixedLow = 0, FixedMid = 1, FixedHigh = 2, Superimposed = 3, Sweep = 4 };

inline constexpr int kChannelCount = 3;
inline constexpr int kVariantCount = 5;

struct ToneRow {
    int channel; // 1 to 3
    int variant; // 0 to 4
    std::string_view sineFile;
    std::string_view triangleFile;
};

// The 30 tone files, one row per channel and variant. Names start with "/" and
// are appended unchanged to the program directory.
class ToneCatalogue {
public:
    static const std::array<ToneRow, kChannelCount * kVariantCount>& rows();

    // Empty for a channel or variant outside the table.
    static std::string_view fileName(int channel, int variant, WaveShape shape);

    // The channel's three fixed tones, lowest first, in hertz.
    static std::array<double, 3> bandTones(int channel);
};

} // namespace vemba
