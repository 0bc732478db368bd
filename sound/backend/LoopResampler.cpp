#include "LoopResampler.h"

#include <algorithm>
#include <cstdint>
#include <memory>
#include <numeric>
#include <soxr.h>

namespace vemba::audio {

namespace {

// Beyond about 22 s at 48 kHz the rounded period is off by under 0.1 cent:
// no need for more copies.
constexpr std::uint64_t kMaxExactFrames = std::uint64_t(1) << 20;
// soxr's high-quality filter reaches about 100 frames of the lower rate to
// either side of a sample; twice that settles it fully, at most 32 ms.
constexpr std::uint64_t kSettleFrames = 256;
constexpr std::size_t kChunkFrames = 4096;

struct SoxrDeleter {
    void operator()(soxr* s) const { soxr_delete(s); }
};
using SoxrPtr = std::unique_ptr<soxr, SoxrDeleter>;

} // namespace

LoopPlan planLoop(std::size_t frames, int fromRate, int toRate) {
    const std::uint64_t n = frames;
    const auto from = static_cast<std::uint64_t>(fromRate);
    const auto to = static_cast<std::uint64_t>(toRate);
    const std::uint64_t g = std::gcd(n * to, from);
    if (n * to / g <= kMaxExactFrames) {
        return {static_cast<std::size_t>(from / g), static_cast<std::size_t>(n * to / g)};
    }
    return {1, static_cast<std::size_t>(std::max<std::uint64_t>(1, (n * to + from / 2) / from))};
}

QString resampleLoop(const std::vector<float>& in, int channels, int fromRate, int toRate,
                     const LoopPlan& plan, std::vector<float>& out) {
    const auto ch = static_cast<std::size_t>(channels);
    const std::size_t n = in.size() / ch;
    const std::uint64_t cycleIn = std::uint64_t(n) * plan.copies;
    const std::uint64_t cycleOut = plan.outFrames;
    // The converted loop starts where the input's first frame falls on an
    // output frame: after `pad` input frames, a whole number of steps in
    // which both sides meet.
    const std::uint64_t g = std::gcd(cycleIn, cycleOut);
    const std::uint64_t stepIn = cycleIn / g;
    const std::uint64_t stepOut = cycleOut / g;
    const std::uint64_t settle =
        kSettleFrames * std::max<std::uint64_t>(1, (std::uint64_t(fromRate) + toRate - 1) / toRate);
    const std::uint64_t pad = (settle + stepIn - 1) / stepIn * stepIn;
    const std::uint64_t skip = pad / stepIn * stepOut;
    const std::uint64_t total = pad + cycleIn + pad;

    soxr_error_t error = nullptr;
    const soxr_quality_spec_t quality = soxr_quality_spec(SOXR_HQ, 0);
    SoxrPtr resampler(soxr_create(double(cycleIn), double(cycleOut), unsigned(channels), &error,
                                  nullptr, &quality, nullptr));
    if (error != nullptr) {
        return QString::fromUtf8(error);
    }

    out.assign(cycleOut * ch, 0.0f);
    std::vector<float> chunk(kChunkFrames * ch);
    std::vector<float> produced(kChunkFrames * ch);
    std::uint64_t fed = 0;
    std::uint64_t made = 0;
    std::size_t at = (n - pad % n) % n; // the input frame fed next
    while (made < skip + cycleOut) {
        const auto count =
            static_cast<std::size_t>(std::min<std::uint64_t>(kChunkFrames, total - fed));
        for (std::size_t i = 0; i < count; ++i) {
            std::copy_n(in.begin() + std::ptrdiff_t(at * ch), ch,
                        chunk.begin() + std::ptrdiff_t(i * ch));
            at = at + 1 == n ? 0 : at + 1;
        }
        fed += count;
        // Past the end of the input, a null input flushes what is held back.
        std::size_t used = 0;
        for (;;) {
            std::size_t took = 0;
            std::size_t got = 0;
            error = soxr_process(resampler.get(), count == 0 ? nullptr : chunk.data() + used * ch,
                                 count - used, &took, produced.data(), kChunkFrames, &got);
            if (error != nullptr) {
                return QString::fromUtf8(error);
            }
            used += took;
            for (std::size_t i = 0; i < got; ++i, ++made) {
                if (made >= skip && made < skip + cycleOut) {
                    std::copy_n(produced.begin() + std::ptrdiff_t(i * ch), ch,
                                out.begin() + std::ptrdiff_t((made - skip) * ch));
                }
            }
            if (used == count && (count != 0 || got == 0)) {
                break;
            }
        }
        if (count == 0 && made < skip + cycleOut) {
            return QStringLiteral("出力が途中で終わりました");
        }
    }
    return {};
}

} // namespace vemba::audio
