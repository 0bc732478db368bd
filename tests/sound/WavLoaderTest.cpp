#include "WavLoader.h"

#include "SoundProbe.h"
#include "TestSignals.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>
#include <cmath>
#include <functional>
#include <gtest/gtest.h>

using vemba::audio::loadSoundFile;
using vemba::audio::SampleData;
using namespace vemba::testing;

namespace {

constexpr int kRate = 48000;

// A canonical 44-byte WAV header for 16-bit PCM; the sizes are whatever the
// caller claims.
QByteArray wavHeader(int channels, int rate, quint32 dataBytes, quint32 riffBytes) {
    QByteArray h;
    auto u32 = [&h](quint32 v) {
        char b[4];
        qToLittleEndian(v, b);
        h.append(b, 4);
    };
    auto u16 = [&h](quint16 v) {
        char b[2];
        qToLittleEndian(v, b);
        h.append(b, 2);
    };
    h.append("RIFF");
    u32(riffBytes);
    h.append("WAVEfmt ");
    u32(16);
    u16(1);
    u16(static_cast<quint16>(channels));
    u32(static_cast<quint32>(rate));
    u32(static_cast<quint32>(rate * channels * 2));
    u16(static_cast<quint16>(channels * 2));
    u16(16);
    h.append("data");
    u32(dataBytes);
    return h;
}

QByteArray pseudoRandom(int size, quint32 seed) {
    QByteArray b(size, '\0');
    for (char& c : b) {
        seed = seed * 1103515245u + 12345u;
        c = static_cast<char>(seed >> 16);
    }
    return b;
}

} // namespace

// Every kind of bad file is refused with its path and the reason, or loaded
// as far as it holds sound; none crashes.
TEST(WavLoader, BadInputIsRefusedWithItsReasonOrLoadedAsFarAsItIsSound) {
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString sample = dir.filePath(QStringLiteral("good.wav"));
    ASSERT_TRUE(writeSound(sample, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, kRate,
                           stereoSine(48000, 440.0, 0.5)));
    const QByteArray good = readBytes(sample);

    struct Case {
        const char* name;
        std::function<bool(const QString&)> make; // writes the file at the path
        const char* refusal;                      // part of the reason; null when it loads
        std::size_t minFrames = 0, maxFrames = 0; // when it loads
    };
    const std::vector<Case> cases = {
        {"missing", [](const QString&) { return true; }, "見つかりません"},
        {"directory", [](const QString& p) { return QDir().mkpath(p); }, "フォルダー"},
        {"empty file", [](const QString& p) { return writeBytes(p, {}); },
         "読み込める音声ファイルではありません"},
        {"random bytes", [](const QString& p) { return writeBytes(p, pseudoRandom(5000, 3)); },
         "読み込める音声ファイルではありません"},
        {"text", [](const QString& p) { return writeBytes(p, "RIFF? no, just text\n"); },
         "読み込める音声ファイルではありません"},
        {"header cut short", [&](const QString& p) { return writeBytes(p, good.left(30)); },
         "読み込める音声ファイルではありません"},
        {"three channels",
         [](const QString& p) {
             return writeSound(p, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 3, kRate,
                               std::vector<float>(3 * 1000, 0.1f));
         },
         "3 チャンネル"},
        {"no frames",
         [](const QString& p) {
             return writeSound(p, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, kRate, {});
         },
         "音のデータがありません"},
        {"header only, claims data",
         [](const QString& p) { return writeBytes(p, wavHeader(2, kRate, 400000, 400036)); },
         "音のデータがありません"},
        {"over ten minutes",
         [](const QString& p) {
             // 1000 Hz keeps the file small: 601 s are 601000 frames.
             return writeSound(p, SF_FORMAT_WAV | SF_FORMAT_PCM_U8, 1, 1000,
                               std::vector<float>(601000, 0.25f));
         },
         "10 分を超える"},
        {"truncated in the data",
         [&](const QString& p) { return writeBytes(p, good.left(44 + 4 * 24000 + 3)); }, nullptr,
         24000, 24000},
        {"claims far more data than it has",
         [](const QString& p) {
             return writeBytes(p, wavHeader(2, kRate, 0xFFFFFFF0u, 0xFFFFFFF8u) +
                                      QByteArray(4 * 1000, '\x10'));
         },
         nullptr, 1000, 1000},
        {"good file followed by junk",
         [&](const QString& p) { return writeBytes(p, good + pseudoRandom(777, 9)); }, nullptr,
         48000, 48000 + 777 / 4},
    };

    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromUtf8(c.name) + QStringLiteral(".wav"));
        ASSERT_TRUE(c.make(path));
        std::shared_ptr<const SampleData> data;
        const vemba::audio::Status status = loadSoundFile(path, kRate, data);
        if (c.refusal != nullptr) {
            ASSERT_FALSE(status.ok());
            EXPECT_TRUE(status.reason().contains(path)) << status.reason().toStdString();
            EXPECT_TRUE(status.reason().contains(QString::fromUtf8(c.refusal)))
                << status.reason().toStdString();
            EXPECT_EQ(data, nullptr);
        } else {
            ASSERT_TRUE(status.ok()) << status.reason().toStdString();
            ASSERT_NE(data, nullptr);
            EXPECT_GE(data->frames(), c.minFrames);
            EXPECT_LE(data->frames(), c.maxFrames);
            for (float s : data->samples) {
                ASSERT_TRUE(std::isfinite(s));
            }
        }
    }
}

// Each sample format and channel count reads back as what was written, to
// the format's own precision; mono is heard on both sides at its own level.
TEST(WavLoader, ReadsEveryPcmAndFloatFormatMonoOrStereo) {
    QTemporaryDir dir;
    struct Format {
        const char* name;
        int subtype;
        double tolerance;
    };
    const std::vector<Format> formats = {{"8-bit", SF_FORMAT_PCM_U8, 1.0 / 64},
                                         {"16-bit", SF_FORMAT_PCM_16, 1.0 / 16384},
                                         {"24-bit", SF_FORMAT_PCM_24, 1.0 / (1 << 22)},
                                         {"32-bit", SF_FORMAT_PCM_32, 1e-7},
                                         {"float", SF_FORMAT_FLOAT, 0.0}};
    const std::size_t frames = 4800;
    for (const Format& f : formats) {
        for (int channels : {1, 2}) {
            SCOPED_TRACE(::testing::Message() << f.name << ", " << channels << " channel(s)");
            // Stereo: right is the left at -6 dB, so swapped sides would show.
            const std::vector<float> stereo = stereoSine(frames, 1000.0, 0.7, 0.5);
            std::vector<float> written = stereo;
            if (channels == 1) {
                written = vemba::probe::channel(stereo, 0, 0, frames);
            }
            const QString path =
                dir.filePath(QString::fromUtf8(f.name) + QString::number(channels));
            ASSERT_TRUE(writeSound(path, SF_FORMAT_WAV | f.subtype, channels, kRate, written));
            std::shared_ptr<const SampleData> data;
            ASSERT_TRUE(loadSoundFile(path, kRate, data).ok());
            ASSERT_EQ(data->frames(), frames);
            for (std::size_t i = 0; i < frames; ++i) {
                const float left = written[i * static_cast<std::size_t>(channels)];
                const float right = channels == 1 ? left : written[2 * i + 1];
                ASSERT_NEAR(data->samples[2 * i], left, f.tolerance) << "frame " << i;
                ASSERT_NEAR(data->samples[2 * i + 1], right, f.tolerance) << "frame " << i;
            }
        }
    }
}

// A file at another rate is converted to the output rate: same length in
// time, same pitch, same level.
TEST(WavLoader, ConvertsOtherRatesKeepingPitchAndLevel) {
    QTemporaryDir dir;
    for (int rate : {8000, 22050, 44100, 96000}) {
        SCOPED_TRACE(rate);
        const std::size_t frames = static_cast<std::size_t>(rate); // one second
        const QString path = dir.filePath(QString::number(rate) + QStringLiteral(".wav"));
        ASSERT_TRUE(writeSound(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 2, rate,
                               stereoSine(frames, 1000.0, 0.5, 1.0, rate)));
        std::shared_ptr<const SampleData> data;
        ASSERT_TRUE(loadSoundFile(path, kRate, data).ok());
        EXPECT_NEAR(static_cast<double>(data->frames()), kRate, kRate * 0.01);
        // Away from the edges, where a resampler's filter settles.
        const auto middle = vemba::probe::channel(data->samples, 0, 4800, 32768);
        const vemba::probe::Tone tone = vemba::probe::dominantTone(middle, kRate);
        EXPECT_NEAR(tone.frequency, 1000.0, 1.0);
        EXPECT_NEAR(tone.levelDb, 20.0 * std::log10(0.5), 0.1);
        // No delay beyond a frame: the converted sound lines up with the sine
        // at 48000 Hz (a frame of this sine moves it by 0.065).
        const std::vector<float> ideal = stereoSine(data->frames(), 1000.0, 0.5);
        double worst = 0.0;
        for (std::size_t i = 2 * 480; i + 2 * 480 < ideal.size(); ++i) {
            worst = std::max(worst, static_cast<double>(std::fabs(data->samples[i] - ideal[i])));
        }
        EXPECT_LT(worst, 0.065);
    }
}
