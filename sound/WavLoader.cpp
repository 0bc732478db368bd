#include "WavLoader.h"

#include <QFile>
#include <QFileInfo>
#include <SDL_audio.h>
#include <SDL_error.h>
#include <algorithm>
#include <cmath>
#include <sndfile.h>

namespace vemba::audio {

namespace {

constexpr sf_count_t kChunkFrames = 4096;
constexpr int kMaxFileRate = 768000;

struct SndFileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndFilePtr = std::unique_ptr<SNDFILE, SndFileCloser>;

struct StreamFreer {
    void operator()(SDL_AudioStream* s) const { SDL_FreeAudioStream(s); }
};
using StreamPtr = std::unique_ptr<SDL_AudioStream, StreamFreer>;

QString quoted(const QString& path) {
    return QStringLiteral("「%1」").arg(path);
}

Status fail(const QString& path, const QString& what) {
    return Status::failure(quoted(path) + what);
}

// Reads frame by frame groups until the file ends, whatever its header
// promised: a header that lies about the length costs nothing, and a cut-off
// file gives what it holds.
Status readAll(SNDFILE* file, const QString& path, int channels, sf_count_t maxFrames,
               std::vector<float>& samples) {
    std::vector<float> chunk(static_cast<std::size_t>(kChunkFrames * channels));
    sf_count_t total = 0;
    for (;;) {
        const sf_count_t got = sf_readf_float(file, chunk.data(), kChunkFrames);
        if (got <= 0) {
            break;
        }
        total += got;
        if (total > maxFrames) {
            return fail(path, QStringLiteral(" は %1 分を超える長さのため再生できません。")
                                  .arg(kMaxSoundSeconds / 60));
        }
        samples.insert(samples.end(), chunk.begin(), chunk.begin() + got * channels);
    }
    return Status::success();
}

std::vector<float> toStereo(std::vector<float> samples, int channels) {
    if (channels == 2) {
        return samples;
    }
    std::vector<float> stereo(samples.size() * 2);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        stereo[2 * i] = samples[i];
        stereo[2 * i + 1] = samples[i];
    }
    return stereo;
}

Status resample(const QString& path, int fromRate, int toRate, std::vector<float>& samples) {
    StreamPtr stream(SDL_NewAudioStream(AUDIO_F32SYS, 2, fromRate, AUDIO_F32SYS, 2, toRate));
    const auto conversionFailed = [&] {
        return fail(path, QStringLiteral(" を %1 Hz に変換できません (%2)。")
                              .arg(toRate)
                              .arg(QString::fromUtf8(SDL_GetError())));
    };
    if (!stream) {
        return conversionFailed();
    }
    constexpr std::size_t kPutSamples = 2 * 65536;
    for (std::size_t at = 0; at < samples.size(); at += kPutSamples) {
        const std::size_t n = std::min(kPutSamples, samples.size() - at);
        if (SDL_AudioStreamPut(stream.get(), samples.data() + at,
                               static_cast<int>(n * sizeof(float))) != 0) {
            return conversionFailed();
        }
    }
    // SDL's resampler holds back the last few hundred frames even on flush:
    // feed it silence past the end and cut the result to the exact length.
    const std::vector<float> silence(2 * static_cast<std::size_t>(std::max(fromRate / 10, 4096)),
                                     0.0f);
    if (SDL_AudioStreamPut(stream.get(), silence.data(),
                           static_cast<int>(silence.size() * sizeof(float))) != 0) {
        return conversionFailed();
    }
    if (SDL_AudioStreamFlush(stream.get()) != 0) {
        return conversionFailed();
    }
    std::vector<float> out;
    std::vector<float> chunk(kPutSamples);
    for (;;) {
        const int got = SDL_AudioStreamGet(stream.get(), chunk.data(),
                                           static_cast<int>(chunk.size() * sizeof(float)));
        if (got < 0) {
            return conversionFailed();
        }
        if (got == 0) {
            break;
        }
        out.insert(out.end(), chunk.begin(), chunk.begin() + got / static_cast<int>(sizeof(float)));
    }
    const auto frames = static_cast<std::size_t>(
        (static_cast<long long>(samples.size() / 2) * toRate + fromRate / 2) / fromRate);
    out.resize(std::min(out.size() / 2, frames) * 2);
    samples = std::move(out);
    return Status::success();
}

} // namespace

Status loadSoundFile(const QString& path, int outputRate, std::shared_ptr<const SampleData>& out) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return fail(path, QStringLiteral(" が見つかりません。"));
    }
    if (info.isDir()) {
        return fail(path, QStringLiteral(" はフォルダーです。WAV ファイルではありません。"));
    }

    SF_INFO format{};
    SndFilePtr file(sf_open(QFile::encodeName(path).constData(), SFM_READ, &format));
    if (!file) {
        if (!info.isReadable()) {
            return fail(path, QStringLiteral(" を読み取る権限がありません。"));
        }
        return fail(path, QStringLiteral(" は読み込める音声ファイルではありません (%1)。")
                              .arg(QString::fromUtf8(sf_strerror(nullptr))));
    }
    if (format.channels > 2) {
        return fail(path, QStringLiteral(
                              " は %1 チャンネルの音声です。モノラルかステレオだけを再生できます。")
                              .arg(format.channels));
    }
    if (format.channels < 1 || format.samplerate <= 0 || format.samplerate > kMaxFileRate) {
        return fail(path, QStringLiteral(" の音声形式 (%1 チャンネル, %2 Hz) は扱えません。")
                              .arg(format.channels)
                              .arg(format.samplerate));
    }
    const sf_count_t maxFrames = static_cast<sf_count_t>(format.samplerate) * kMaxSoundSeconds;
    if (format.frames > maxFrames && format.frames != SF_COUNT_MAX) {
        return fail(path, QStringLiteral(" は %1 分を超える長さのため再生できません。")
                              .arg(kMaxSoundSeconds / 60));
    }

    std::vector<float> samples;
    if (Status read = readAll(file.get(), path, format.channels, maxFrames, samples); !read) {
        return read;
    }
    if (samples.empty()) {
        return fail(path, QStringLiteral(" には音のデータがありません。"));
    }
    // A float file may hold infinities or NaNs; they would poison the whole mix.
    for (float& s : samples) {
        if (!std::isfinite(s)) {
            s = 0.0f;
        }
    }
    samples = toStereo(std::move(samples), format.channels);
    if (format.samplerate != outputRate) {
        if (Status converted = resample(path, format.samplerate, outputRate, samples); !converted) {
            return converted;
        }
        if (samples.empty()) {
            return fail(path, QStringLiteral(" には音のデータがありません。"));
        }
    }

    auto data = std::make_shared<SampleData>();
    data->samples = std::move(samples);
    out = std::move(data);
    return Status::success();
}

} // namespace vemba::audio
