#include "WavLoader.h"

#include "SoundProbe.h"
#include "TestSignals.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtEndian>
#include <algorithm>
#include <functional>
#include <gtest/gtest.h>
#include <limits>

using vemba::audio::loadSoundFile;
using vemba::audio::SampleData;
using namespace vemba::testing;
namespace probe = vemba::probe;

namespace {

constexpr int kRate = 48000;
using Maker = std::function<bool(const QString&)>;

Maker bytes(const QByteArray& content) {
    return [content](const QString& path) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(content) == content.size();
    };
}

Maker sound(int channels, int rate, const std::vector<float>& samples,
            int subtype = SF_FORMAT_PCM_16) {
    return [=](const QString& path) {
        return writeSound(path, SF_FORMAT_WAV | subtype, channels, rate, samples);
    };
}

QByteArray randomBytes(int size, std::uint32_t seed) {
    const std::vector<float> noise = stereoNoise(std::size_t(size) / 8 + 1, 1.0f, seed);
    return QByteArray(reinterpret_cast<const char*>(noise.data()), size);
}

} // namespace

// Every kind of bad file is refused with its path and the reason, or loaded
// as far as it holds sound, and never with a sample that would poison the
// mix; none crashes.
TEST(WavLoader, BadInputIsRefusedWithItsReasonOrLoadedAsFarAsItIsSound) {
    QTemporaryDir dir;
    const QString sample = dir.filePath(QStringLiteral("good.wav"));
    ASSERT_TRUE(sound(2, kRate, stereoSine(48000, 440.0, 0.5))(sample));
    QFile sampleFile(sample);
    ASSERT_TRUE(sampleFile.open(QIODevice::ReadOnly));
    const QByteArray good = sampleFile.readAll(); // 44 bytes of header, then 4 bytes a frame
    ASSERT_EQ(good.mid(36, 4), "data");
    QByteArray lying = good.left(44 + 4 * 1000);
    qToLittleEndian<quint32>(0xFFFFFFF8u, lying.data() + 4);  // RIFF size
    qToLittleEndian<quint32>(0xFFFFFFF0u, lying.data() + 40); // data size

    struct Case {
        const char* name;
        Maker make;                               // writes the file at the path
        const char* refusal;                      // part of the reason; null when it loads
        std::size_t minFrames = 0, maxFrames = 0; // when it loads
    };
    const char* notSound = "読み込める音声ファイルではありません";
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    const std::vector<Case> cases = {
        {"missing", [](const QString&) { return true; }, "見つかりません"},
        {"directory", [](const QString& p) { return QDir().mkpath(p); }, "フォルダー"},
        {"random bytes", bytes(randomBytes(5000, 3)), notSound},
        {"header cut short", bytes(good.left(30)), notSound},
        {"three channels", sound(3, kRate, std::vector<float>(3 * 1000, 0.1f)), "3 チャンネル"},
        {"no frames", sound(2, kRate, {}), "音のデータがありません"},
        {"header only, claims data", bytes(good.left(44)), "音のデータがありません"},
        // 1000 Hz keeps the file small: 601 s are 601000 frames.
        {"over ten minutes", sound(1, 1000, std::vector<float>(601000, 0.25f)), "10 分を超える"},
        {"truncated in the data", bytes(good.left(44 + 4 * 24000 + 3)), nullptr, 24000, 24000},
        {"claims far more data than it has", bytes(lying), nullptr, 1000, 1000},
        {"good file followed by junk", bytes(good + randomBytes(777, 9)), nullptr, 48000,
         48000 + 777 / 4},
        {"float file with infinities and NaNs",
         sound(2, kRate, {inf, 0.5f, -inf, nan, nan, -0.5f}, SF_FORMAT_FLOAT), nullptr, 3, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromUtf8(c.name) + QStringLiteral(".wav"));
        ASSERT_TRUE(c.make(path));
        std::shared_ptr<const SampleData> data;
        const vemba::audio::Status status = loadSoundFile(path, kRate, data);
        const std::string reason = status.reason().toStdString();
        if (c.refusal != nullptr) {
            ASSERT_FALSE(status.ok());
            EXPECT_TRUE(status.reason().contains(path)) << reason;
            EXPECT_TRUE(status.reason().contains(QString::fromUtf8(c.refusal))) << reason;
            EXPECT_EQ(data, nullptr);
        } else {
            ASSERT_TRUE(status.ok()) << reason;
            EXPECT_GE(data->frames(), c.minFrames);
            EXPECT_LE(data->frames(), c.maxFrames);
            EXPECT_TRUE(std::all_of(data->samples.begin(), data->samples.end(),
                                    [](float s) { return std::isfinite(s); }));
        }
    }
}

// Each sample format reads back as what was written, to its own precision;
// mono is heard on both sides at its own level; another rate is converted
// keeping length, pitch, level and timing.
TEST(WavLoader, ReadsEveryFormatMonoOrStereoAtAnyRate) {
    QTemporaryDir dir;
    struct Case {
        int subtype, channels, rate;
        double tolerance; // a frame of a converted sine moves it by 0.065: no frame late
    };
    const Case cases[] = {
        {SF_FORMAT_PCM_U8, 1, kRate, 1.0 / 64},    {SF_FORMAT_PCM_U8, 2, kRate, 1.0 / 64},
        {SF_FORMAT_PCM_16, 2, kRate, 1.0 / 16384}, {SF_FORMAT_PCM_24, 1, kRate, 1.0 / (1 << 22)},
        {SF_FORMAT_PCM_32, 2, kRate, 1e-7},        {SF_FORMAT_FLOAT, 1, kRate, 0.0},
        {SF_FORMAT_FLOAT, 2, kRate, 0.0},          {SF_FORMAT_FLOAT, 1, 8000, 0.065},
        {SF_FORMAT_PCM_16, 2, 44100, 0.065},       {SF_FORMAT_FLOAT, 2, 96000, 0.065}};
    const QString path = dir.filePath(QStringLiteral("sound.wav"));
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message() << "format 0x" << std::hex << c.subtype << std::dec
                                          << ", " << c.channels << " ch, " << c.rate << " Hz");
        // One second; right at -6 dB, so swapped sides would show.
        std::vector<float> written = stereoSine(std::size_t(c.rate), 1000.0, 0.5, 0.5, c.rate);
        if (c.channels == 1) {
            written = probe::channel(written, 0, 0, std::size_t(c.rate));
        }
        ASSERT_TRUE(writeSound(path, SF_FORMAT_WAV | c.subtype, c.channels, c.rate, written));
        std::shared_ptr<const SampleData> data;
        ASSERT_TRUE(loadSoundFile(path, kRate, data).ok());
        EXPECT_NEAR(double(data->frames()), kRate, c.rate == kRate ? 0.0 : kRate * 0.01);
        const std::vector<float> ideal =
            stereoSine(data->frames(), 1000.0, 0.5, c.channels == 1 ? 1.0 : 0.5);
        // A resampler's filter settles away from the edges.
        const std::size_t edge = c.rate == kRate ? 0 : 2 * 480;
        for (std::size_t i = edge; i + edge < ideal.size(); ++i) {
            ASSERT_NEAR(data->samples[i], ideal[i], c.tolerance) << "sample " << i;
        }
        const probe::Tone tone =
            probe::dominantTone(probe::channel(data->samples, 0, 4800, 32768), kRate);
        EXPECT_NEAR(tone.frequency, 1000.0, 1.0);
        EXPECT_NEAR(tone.levelDb, 20.0 * std::log10(0.5), 0.1);
    }
}
