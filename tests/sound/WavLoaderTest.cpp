#include "WavLoader.h"

#include "Files.h"
#include "SoundProbe.h"
#include "TestSignals.h"
#include "UserText.h"

#include <QDir>
#include <QTemporaryDir>
#include <algorithm>
#include <fftw3.h>
#include <functional>
#include <gtest/gtest.h>
#include <limits>
#include <numeric>

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
            int subtype = SF_FORMAT_PCM_16, int container = SF_FORMAT_WAV) {
    return [=](const QString& path) {
        return writeSound(path, container | subtype, channels, rate, samples);
    };
}

// Mono silence at 384 kHz; the most a sound may take as read is this many
// frames.
constexpr std::size_t kBoundFrames = vemba::audio::kMaxSoundBytes / sizeof(float);
Maker flac(std::size_t frames) {
    return sound(1, 384000, std::vector<float>(frames, 0.0f), SF_FORMAT_PCM_16, SF_FORMAT_FLAC);
}

} // namespace

// Every kind of bad file is refused with its path and the reason in Japanese,
// or loaded as far as it holds sound, never with a sample that would poison
// the mix nor with a DC offset; none crashes.
TEST(WavLoader, BadInputIsRefusedWithItsReasonOrLoadedAsFarAsItIsSound) {
    QTemporaryDir dir;
    const QString sample = dir.filePath(QStringLiteral("good.wav"));
    ASSERT_TRUE(sound(2, kRate, stereoSine(48000, 440.0, 0.5))(sample));
    const QByteArray good = readFile(sample); // 44 bytes of header, then 4 bytes a frame
    ASSERT_EQ(good.mid(36, 4), "data");

    struct Case {
        const char* name;
        Maker make;                               // writes the file at the path
        const char* refusal;                      // part of the reason; null when it loads
        std::size_t minFrames = 0, maxFrames = 0; // when it loads
    };
    const char* notSound = "読み込める音声ファイルではありません";
    const char* badRate = "扱えません";
    const float inf = std::numeric_limits<float>::infinity();
    const float nan = std::numeric_limits<float>::quiet_NaN();
    std::vector<float> offsetTone =
        probe::channel(stereoSine(44100, 441.0, 0.5, 1.0, 44100), 0, 0, 44100);
    for (float& s : offsetTone) {
        s += 0.25f;
    }
    std::vector<float> huge(2205);
    for (std::size_t i = 0; i < huge.size(); ++i) {
        huge[i] = (i / 10) % 2 == 0 ? 3.4e38f : -3.4e38f;
    }
    const std::vector<Case> cases = {
        {"missing", [](const QString&) { return true; }, "見つかりません"},
        {"directory", [](const QString& p) { return QDir().mkpath(p); }, "フォルダー"},
        {"text", bytes(QByteArray(5000, 'x')), "形式を認識できません"},
        {"header cut short", bytes(good.left(30)), notSound},
        {"three channels", sound(3, kRate, std::vector<float>(3 * 1000, 0.1f)), "3 チャンネル"},
        {"no frames", sound(2, kRate, {}), "音のデータがありません"},
        {"one byte short", bytes(good.chopped(1)), "途中で切れています"},
        {"7999 Hz", sound(1, 7999, {0.1f}, SF_FORMAT_PCM_U8), badRate},
        {"384001 Hz", sound(1, 384001, std::vector<float>(8, 0.1f)), badRate},
        // Silence at 384 kHz compresses to almost nothing: one frame past the
        // bound, and the bound itself.
        {"compressed, decodes past the bound", flac(kBoundFrames + 1), "長すぎます"},
        {"compressed, decodes to the bound", flac(kBoundFrames), nullptr, kBoundFrames / 8,
         kBoundFrames / 8},
        {"good file followed by junk", bytes(good + QByteArray(777, '\x7f')), nullptr, 48000,
         48000 + 777 / 4},
        {"float file with infinities and NaNs",
         sound(2, kRate, {inf, 0.5f, -inf, nan, nan, -0.5f}, SF_FORMAT_FLOAT), nullptr, 3, 3},
        // Past full scale it would clip anyway; converted, it would overflow.
        {"float past full scale, at another rate", sound(1, 22050, huge, SF_FORMAT_FLOAT), nullptr,
         4800, 4800},
        {"tone on an offset, at another rate", sound(1, 44100, offsetTone, SF_FORMAT_FLOAT),
         nullptr, 48000, 48000},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const QString path = dir.filePath(QString::fromUtf8(c.name) + QStringLiteral(".wav"));
        ASSERT_TRUE(c.make(path));
        std::shared_ptr<const SampleData> data;
        const vemba::Result status = loadSoundFile(path, kRate, data);
        const std::string reason = status.reason().toStdString();
        if (c.refusal != nullptr) {
            EXPECT_FALSE(status.ok());
            EXPECT_TRUE(status.reason().contains(path)) << reason;
            EXPECT_TRUE(status.reason().contains(QString::fromUtf8(c.refusal))) << reason;
            EXPECT_TRUE(vemba::usertext::japaneseOnly(status.reason(), path)) << reason;
            EXPECT_EQ(data, nullptr);
        } else if (!status.ok()) {
            ADD_FAILURE() << reason;
        } else {
            EXPECT_GE(data->frames(), c.minFrames);
            EXPECT_LE(data->frames(), c.maxFrames);
            EXPECT_TRUE(std::all_of(data->samples.begin(), data->samples.end(),
                                    [](float s) { return std::abs(s) <= 2.0f; }));
            for (int side = 0; side < 2; ++side) {
                const std::vector<float> one =
                    probe::channel(data->samples, side, 0, data->frames());
                EXPECT_NEAR(std::accumulate(one.begin(), one.end(), 0.0) / double(one.size()), 0.0,
                            1e-6)
                    << "DC offset on side " << side;
            }
        }
    }
}

// Each sample format reads back as what was written, to its own precision;
// mono is heard on both sides at its own level; another rate is converted
// keeping length, pitch, level and timing, and the loop's seam is as clean as
// its middle.
TEST(WavLoader, ReadsEveryFormatMonoOrStereoAtAnyRate) {
    QTemporaryDir dir;
    struct Case {
        int subtype, channels, rate;
        double tolerance; // a converted sine a thirtieth of a frame late is off by 2e-4
    };
    const Case cases[] = {{SF_FORMAT_PCM_U8, 1, kRate, 1.0 / 64},
                          {SF_FORMAT_PCM_16, 2, kRate, 1.0 / 16384},
                          {SF_FORMAT_FLOAT, 2, kRate, 0.0},
                          {SF_FORMAT_FLOAT, 1, 8000, 2e-4},
                          {SF_FORMAT_FLOAT, 2, 96000, 2e-4}};
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
        ASSERT_EQ(data->frames(), std::size_t(kRate));
        const std::vector<float> ideal =
            stereoSine(data->frames(), 1000.0, 0.5, c.channels == 1 ? 1.0 : 0.5);
        for (std::size_t i = 0; i < ideal.size(); ++i) {
            ASSERT_NEAR(data->samples[i], ideal[i], c.tolerance) << "sample " << i;
        }
    }
}

// A tone near the top of a 44.1 kHz file keeps its level at 48 kHz, and the
// image the conversion could leave (the file's rate minus the tone) stays
// 90 dB down, as does anything else.
TEST(WavLoader, ConvertsRatesWithoutImagesOrLoss) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("tone.wav"));
    const std::vector<float> tone =
        probe::channel(stereoSine(44100, 19000.0, 0.5, 1.0, 44100), 0, 0, 44100);
    ASSERT_TRUE(writeSound(path, SF_FORMAT_WAV | SF_FORMAT_FLOAT, 1, 44100, tone));
    std::shared_ptr<const SampleData> data;
    ASSERT_TRUE(loadSoundFile(path, kRate, data).ok());
    ASSERT_EQ(data->frames(), std::size_t(kRate));
    // One whole period of a loop: every component falls on a bin of its
    // own, with no window to blur it.
    const std::vector<float> left = probe::channel(data->samples, 0, 0, kRate);
    std::vector<double> in(left.begin(), left.end());
    std::vector<fftw_complex> spectrum(kRate / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(kRate, in.data(), spectrum.data(), FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    std::vector<double> db(spectrum.size());
    for (std::size_t k = 0; k < db.size(); ++k) {
        db[k] = 20.0 * std::log10(2.0 * std::hypot(spectrum[k][0], spectrum[k][1]) / kRate + 1e-30);
    }
    EXPECT_NEAR(db[19000], 20.0 * std::log10(0.5), 0.1);
    // The image at 44100 - 19000 Hz lies above 24 kHz and folds back.
    EXPECT_LE(db[48000 - 25100] - db[19000], -90.0);
    db[19000] = -300.0;
    const auto loudest = std::max_element(db.begin(), db.end());
    EXPECT_LE(*loudest - 20.0 * std::log10(0.5), -90.0) << "at " << loudest - db.begin() << " Hz";
}
