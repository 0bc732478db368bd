#pragma once

// Signals and sound files that the sound tests make for themselves.

#include <QByteArray>
#include <QFile>
#include <QString>
#include <cmath>
#include <cstdint>
#include <memory>
#include <sndfile.h>
#include <vector>

namespace vemba::testing {

// Interleaved stereo: left a sine of `amplitude`, right the same at `rightGain`.
inline std::vector<float> stereoSine(std::size_t frames, double frequency, double amplitude,
                                     double rightGain = 1.0, int rate = 48000) {
    std::vector<float> out(frames * 2);
    for (std::size_t i = 0; i < frames; ++i) {
        const double s =
            amplitude * std::sin(2.0 * M_PI * frequency * static_cast<double>(i) / rate);
        out[2 * i] = static_cast<float>(s);
        out[2 * i + 1] = static_cast<float>(s * rightGain);
    }
    return out;
}

// Deterministic noise in [-amplitude, amplitude], different on each side.
inline std::vector<float> stereoNoise(std::size_t frames, float amplitude, std::uint32_t seed = 1) {
    std::vector<float> out(frames * 2);
    std::uint32_t x = seed;
    for (float& s : out) {
        x = x * 1664525u + 1013904223u;
        s = amplitude * (static_cast<float>(x >> 8) / static_cast<float>(1u << 24) * 2.0f - 1.0f);
    }
    return out;
}

// Writes `samples` (interleaved, `channels` wide) with libsndfile.
inline bool writeSound(const QString& path, int format, int channels, int rate,
                       const std::vector<float>& samples) {
    SF_INFO info{};
    info.channels = channels;
    info.samplerate = rate;
    info.format = format;
    SNDFILE* file = sf_open(QFile::encodeName(path).constData(), SFM_WRITE, &info);
    if (file == nullptr) {
        return false;
    }
    const sf_count_t frames = static_cast<sf_count_t>(samples.size()) / channels;
    const bool ok = sf_writef_float(file, samples.data(), frames) == frames;
    sf_close(file);
    return ok;
}

inline bool writeBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

inline QByteArray readBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace vemba::testing
