#include "FuzzedTone.h"
#include "WavBytes.h"

#include <cmath>
#include <fuzzer/FuzzedDataProvider.h>

// A WAV file built from fuzzed header fields (format, channels, rate, bits,
// data size) and data. Whatever the fields, the file is refused or loaded as
// finite stereo frames; a plain 16-bit file whose fields agree loads to the
// length its data gives.

namespace {

template <typename T> T pick(FuzzedDataProvider& in, std::initializer_list<T> usual) {
    if (in.ConsumeIntegralInRange(0, 7) == 0) {
        return in.ConsumeIntegral<T>();
    }
    return *(usual.begin() + in.ConsumeIntegralInRange<std::size_t>(0, usual.size() - 1));
}

constexpr int kOutputRate = 48000;

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    FuzzedDataProvider in(data, size);
    const auto format = pick<std::uint16_t>(in, {1, 3, 0xFFFE});
    const auto channels = pick<std::uint16_t>(in, {1, 2, 3});
    const auto rate = pick<std::uint32_t>(
        in, {48000, 44100, 22050, 8000, 384000, 96000, 1, 7999, 384001, 655350, 0x7FFFFFFF});
    const auto bits = pick<std::uint16_t>(in, {16, 8, 24, 32, 64, 0});
    const bool fieldsAgree = in.ConsumeBool();
    const std::uint16_t blockAlign = fieldsAgree ? std::uint16_t(channels * ((bits + 7) / 8))
                                                 : in.ConsumeIntegral<std::uint16_t>();
    const std::uint32_t byteRate =
        fieldsAgree ? rate * blockAlign : in.ConsumeIntegral<std::uint32_t>();
    const bool sizeTrue = in.ConsumeBool();
    const auto claimedSize = in.ConsumeIntegral<std::uint32_t>();
    const std::string samples = in.ConsumeRemainingBytesAsString();
    const auto dataSize = sizeTrue ? std::uint32_t(samples.size()) : claimedSize;

    QByteArray extension;
    if (format == 0xFFFE) {
        using vemba::wavbytes::put;
        put<std::uint16_t>(extension, 22);
        put<std::uint16_t>(extension, bits);
        put<std::uint32_t>(extension, channels == 1 ? 0x4 : 0x3);
        extension.append("\x01\x00\x00\x00\x00\x00\x10\x00\x80\x00\x00\xAA\x00\x38\x9B\x71", 16);
    }
    const QByteArray wav =
        vemba::wavbytes::file({format, channels, rate, byteRate, blockAlign, bits, extension},
                              dataSize, QByteArray(samples.data(), qsizetype(samples.size())));

    const auto sound = loadFuzzedTone(QStringLiteral("fields.wav"), wav, kOutputRate);
    const bool plain = format == 1 && bits == 16 && (channels == 1 || channels == 2) &&
                       fieldsAgree && sizeTrue && samples.size() % blockAlign == 0;
    if (!sound || !plain) {
        return 0;
    }
    // A whole number of loops, each as long at the output rate to a frame: a
    // short loop is converted as a few copies so that it comes out whole.
    const double perLoop = double(samples.size() / blockAlign) * kOutputRate / rate;
    const double copies = std::round(double(sound->frames()) / perLoop);
    FUZZ_CHECK(copies >= 1 && std::abs(double(sound->frames()) - copies * perLoop) <= 1.0);
    return 0;
}
