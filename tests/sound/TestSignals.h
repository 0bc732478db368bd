#pragma once

// Signals and sound files that the sound tests make for themselves.

#include <QFile>
#include <QString>
#include <cmath>
#include <cstdint>
#include <sndfile.h>
#include <vector>

namespace vemba::testing {

// Interleaved stereo: left a sine of `amplitude`, right the same at `rightGain`.
inline std::vector<float> stereoSine(std::size_t frames, double frequency, double amplitude,
                                     double rightGain = 1.0, int rate = 48000) {
    std::vector<float> out(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const double s = amplitude * std::sin(2.0 * M_PI * frequency * double(i) / rate);
        out[2 * i] = float(s);
        out[2 * i + 1] = float(s * rightGain);
    }
    return out;
}

// Deterministic noise in [-amplitude, amplitude], different on each side.
inline std::vector<float> stereoNoise(std::size_t frames, float amplitude, std::uint32_t seed = 1) {
    std::vector<float> out(frames * 2);
    for (float& s : out) {
        seed = seed * 1664525u + 1013904223u;
        s = amplitude * (float(seed >> 8) / float(1u << 24) * 2.0f - 1.0f);
    }
    return out;
}

// Writes `samples` (interleaved, `channels` wide) with libsndfile.
inline bool writeSound(const QString& path, int format, int channels, int rate,
                       const std::vector<float>& samples) {
    SF_INFO info{0, rate, channels, format, 0, 0};
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    const sf_count_t frames = sf_count_t(samples.size()) / channels;
    const bool ok = file != nullptr && sf_writef_float(file, samples.data(), frames) == frames;
    return sf_close(file) == 0 && ok;
}

} // namespace vemba::testing
