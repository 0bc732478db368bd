#include "WavLoader.h"

#include "LoopResampler.h"

#include <QFile>
#include <QFileInfo>
#include <QtEndian>
#include <algorithm>
#include <cerrno>
#include <cmath>
#include <fcntl.h>
#include <sndfile.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vemba::audio {

namespace {

constexpr sf_count_t kChunkFrames = 4096;
constexpr int kMaxWavChunks = 1000;
constexpr float kNegligibleOffset = 1e-6f; // -120 dBFS

struct SndFileCloser {
    void operator()(SNDFILE* f) const { sf_close(f); }
};
using SndFilePtr = std::unique_ptr<SNDFILE, SndFileCloser>;

Result fail(const QString& path, const QString& what) {
    return Result::failure(QStringLiteral("「%1」").arg(path) + what);
}

// libsndfile's own words are English; the common cases get ours, the rare
// rest keep its text in brackets as a clue.
Result openFailure(const QString& path, int code) {
    switch (code) {
    case SF_ERR_UNRECOGNISED_FORMAT:
        return fail(path, QStringLiteral(
                              " は読み込める音声ファイルではありません。形式を認識できません。"));
    case SF_ERR_SYSTEM:
        return fail(path, QStringLiteral(
                              " を読み取れません。ファイルを開けないか、読み込みに失敗しました。"));
    case SF_ERR_MALFORMED_FILE:
        return fail(
            path, QStringLiteral(" は読み込める音声ファイルではありません。中身が壊れています。"));
    case SF_ERR_UNSUPPORTED_ENCODING:
        return fail(
            path,
            QStringLiteral(
                " は読み込める音声ファイルではありません。この符号化方式には対応していません。"));
    default:
        return fail(path, QStringLiteral(" は読み込める音声ファイルではありません (%1)。")
                              .arg(QString::fromUtf8(sf_error_number(code))));
    }
}

Result cutShort(const QString& path) {
    return fail(path, QStringLiteral(
                          " は途中で切れています。ヘッダーが示す長さの音のデータがありません。"));
}

// libsndfile quietly shortens a WAV whose data chunk runs past the end of the
// file, and would hand over a fragment of the sound as if it were the loop.
bool wavDataCutShort(int fd, qint64 size) {
    char head[12];
    if (::pread(fd, head, sizeof head, 0) != qint64(sizeof head)) {
        return false;
    }
    const QByteArray kind = QByteArray::fromRawData(head, 4);
    const bool bigEndian = kind == "RIFX";
    // RF64 keeps its sizes in another chunk; libsndfile's frame count covers it.
    if ((kind != "RIFF" && !bigEndian) || QByteArray::fromRawData(head + 8, 4) != "WAVE") {
        return false;
    }
    qint64 at = 12;
    for (int i = 0; i < kMaxWavChunks && at + 8 <= size; ++i) {
        char chunk[8];
        if (::pread(fd, chunk, sizeof chunk, at) != qint64(sizeof chunk)) {
            return false;
        }
        const quint32 length =
            bigEndian ? qFromBigEndian<quint32>(chunk + 4) : qFromLittleEndian<quint32>(chunk + 4);
        if (QByteArray::fromRawData(chunk, 4) == "data") {
            return length > size - at - 8;
        }
        at += 8 + qint64(length) + (length & 1);
    }
    return false;
}

// Opens the file for reading without ever waiting: a FIFO or a device in the
// tone file's place would hold the window until something wrote to it.
// Anything but a regular file is refused like a damaged one. -1 with the
// reason in `failure` otherwise.
int openRegularFile(const QString& path, Result& failure, qint64& size) {
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        failure = errno == EACCES ? fail(path, QStringLiteral(" を読み取る権限がありません。"))
                                  : openFailure(path, SF_ERR_SYSTEM);
        return -1;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        failure = openFailure(path, SF_ERR_MALFORMED_FILE);
        return -1;
    }
    // Reads of a regular file never wait anyway; libsndfile expects a plain one.
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    size = st.st_size;
    return fd;
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

// The loop is played over and over, so its mean is exactly the DC it puts on
// the speakers, holding the cones off centre and eating headroom. A tone has
// none; a file with some (a cheap converter, a recorder's bias) sounds the
// same without it, so take it out rather than refuse the file.
void removeOffset(std::vector<float>& stereo) {
    for (std::size_t side = 0; side < 2; ++side) {
        double sum = 0.0;
        for (std::size_t i = side; i < stereo.size(); i += 2) {
            sum += stereo[i];
        }
        const auto mean = static_cast<float>(sum / double(stereo.size() / 2));
        // Far below hearing and harmless, and a file at the output rate
        // stays exactly as written.
        if (std::abs(mean) < kNegligibleOffset) {
            continue;
        }
        for (std::size_t i = side; i < stereo.size(); i += 2) {
            stereo[i] -= mean;
        }
    }
}

// Refuses a sound whose channels or rate the player cannot take.
Result checkFormat(const QString& path, const SF_INFO& format) {
    if (format.channels > 2) {
        return fail(path, QStringLiteral(
                              " は %1 チャンネルの音声です。モノラルかステレオだけを再生できます。")
                              .arg(format.channels));
    }
    if (format.channels < 1) {
        return fail(path, QStringLiteral(" にはチャンネルがありません。"));
    }
    if (format.samplerate < kMinFileRate || format.samplerate > kMaxFileRate) {
        return fail(path,
                    QStringLiteral(" のサンプリング周波数 %1 Hz は扱えません。%2 Hz から %3 Hz "
                                   "までの音を再生できます。")
                        .arg(format.samplerate)
                        .arg(kMinFileRate)
                        .arg(kMaxFileRate));
    }
    return Result::success();
}

// Opens the file with libsndfile and reads its header; what the player
// cannot take is refused before any sound is read.
Result openSoundFile(const QString& path, SndFilePtr& file, SF_INFO& format) {
    const QFileInfo info(path);
    if (!info.exists()) {
        return fail(path, QStringLiteral(" が見つかりません。"));
    }
    if (info.isDir()) {
        return fail(path, QStringLiteral(" はフォルダーです。WAV ファイルではありません。"));
    }
    Result refused = Result::success();
    qint64 size = 0;
    const int fd = openRegularFile(path, refused, size);
    if (fd < 0) {
        return refused;
    }
    file.reset(sf_open_fd(fd, SFM_READ, &format, SF_TRUE));
    if (!file) {
        return openFailure(path, sf_error(nullptr));
    }
    if (Result usable = checkFormat(path, format); !usable) {
        return usable;
    }
    const int major = format.format & SF_FORMAT_TYPEMASK;
    if ((major == SF_FORMAT_WAV || major == SF_FORMAT_WAVEX) && wavDataCutShort(fd, size)) {
        return cutShort(path);
    }
    return Result::success();
}

// Both the frames as read and the converted loop must fit the bound.
sf_count_t maxFramesRead(const SF_INFO& format) {
    return static_cast<sf_count_t>(kMaxSoundBytes /
                                   (sizeof(float) * static_cast<std::size_t>(format.channels)));
}

bool fitsBound(sf_count_t frames, const SF_INFO& format, int outputRate) {
    return frames <= maxFramesRead(format) &&
           planLoop(std::size_t(frames), format.samplerate, outputRate).outFrames <=
               kMaxSoundBytes / (2 * sizeof(float));
}

Result tooLong(const QString& path, const SF_INFO& format, int outputRate) {
    const double seconds = std::min(double(maxFramesRead(format)) / format.samplerate,
                                    double(kMaxSoundBytes / (2 * sizeof(float))) / outputRate);
    return fail(
        path,
        QStringLiteral(" は長すぎます。約 %1 秒までの音を再生できます。").arg(std::floor(seconds)));
}

// Reads every frame, in the file's own channels. A header's count is checked
// before reading, the frames read as they come.
Result readSamples(const QString& path, SNDFILE* file, const SF_INFO& format, int outputRate,
                   std::vector<float>& samples) {
    const auto channels = static_cast<std::size_t>(format.channels);
    const bool counted = format.frames > 0 && format.frames != SF_COUNT_MAX;
    if (counted && !fitsBound(format.frames, format, outputRate)) {
        return tooLong(path, format, outputRate);
    }
    if (counted) {
        samples.reserve(std::size_t(format.frames) * channels);
    }
    std::vector<float> chunk(std::size_t(kChunkFrames) * channels);
    sf_count_t frames = 0;
    for (;;) {
        const sf_count_t got = sf_readf_float(file, chunk.data(), kChunkFrames);
        if (got <= 0) {
            break;
        }
        frames += got;
        if (!fitsBound(frames, format, outputRate)) {
            return tooLong(path, format, outputRate);
        }
        samples.insert(samples.end(), chunk.begin(),
                       chunk.begin() + std::ptrdiff_t(std::size_t(got) * channels));
    }
    // An MPEG stream's count is an estimate from its bit rate; every other
    // format's is what the file says it holds.
    const int major = format.format & SF_FORMAT_TYPEMASK;
    if (counted && frames < format.frames && major != SF_FORMAT_MPEG) {
        return cutShort(path);
    }
    if (frames == 0) {
        return fail(path, QStringLiteral(" には音のデータがありません。"));
    }
    return Result::success();
}

// Turns the samples as read into the mixer's loop: stereo at the output rate
// with no DC offset.
Result makeLoop(const QString& path, const SF_INFO& format, int outputRate,
                std::vector<float>& samples) {
    // A float file may hold infinities or NaNs, which would poison the whole
    // mix, or values past full scale, which would clip anyway and could
    // overflow the rate converter.
    for (float& s : samples) {
        s = std::isfinite(s) ? std::clamp(s, -1.0f, 1.0f) : 0.0f;
    }
    if (format.samplerate != outputRate) {
        const std::size_t frames = samples.size() / static_cast<std::size_t>(format.channels);
        const LoopPlan plan = planLoop(frames, format.samplerate, outputRate);
        std::vector<float> converted;
        const QString error =
            resampleLoop(samples, format.channels, format.samplerate, outputRate, plan, converted);
        if (!error.isEmpty()) {
            return fail(
                path,
                QStringLiteral(" を %1 Hz に変換できません (%2)。").arg(outputRate).arg(error));
        }
        samples = std::move(converted);
    }
    samples = toStereo(std::move(samples), format.channels);
    removeOffset(samples);
    return Result::success();
}

} // namespace

Result loadSoundFile(const QString& path, int outputRate, std::shared_ptr<const SampleData>& out) {
    SndFilePtr file;
    SF_INFO format{};
    if (Result opened = openSoundFile(path, file, format); !opened) {
        return opened;
    }
    std::vector<float> samples;
    if (Result read = readSamples(path, file.get(), format, outputRate, samples); !read) {
        return read;
    }
    if (Result made = makeLoop(path, format, outputRate, samples); !made) {
        return made;
    }
    auto data = std::make_shared<SampleData>();
    data->samples = std::move(samples);
    out = std::move(data);
    return Result::success();
}

} // namespace vemba::audio
