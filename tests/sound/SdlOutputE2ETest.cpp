#include "SdlAudioLayer.h"
#include "SoundProbe.h"
#include "TestSignals.h"
#include "WavLoader.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// Against the PulseAudio server of tests/support/pulse-fixture: what the
// audio layer plays is recorded from the null sink's monitor and measured.

using namespace vemba::audio;
namespace probe = vemba::probe;

namespace {

constexpr std::size_t kWindow = 32768; // frames measured, 0.68 s
constexpr std::size_t kSettle = 4800;  // frames skipped after the sound starts

// The program's own 7500 Hz tone when the build has made it, else one of our own.
QString toneFile(const QTemporaryDir& dir) {
    const QString installed =
        qEnvironmentVariable("VEMBA_PROGRAM_DIR") + QStringLiteral("/7500.wav");
    if (QFileInfo::exists(installed)) {
        return installed;
    }
    const QString own = dir.filePath(QStringLiteral("7500.wav"));
    // 7500 whole periods in one second: loops without a seam.
    vemba::testing::writeSound(own, SF_FORMAT_WAV | SF_FORMAT_PCM_16, 2, probe::kRate,
                               vemba::testing::stereoSine(48000, 7500.0, 0.5));
    return own;
}

// The file's own tone, measured as the recording will be: looped to the window.
probe::Tone fileTone(const SampleData& data, int ch) {
    std::vector<float> looped;
    while (looped.size() < kWindow) {
        const auto part = probe::channel(data.samples, ch, 0, data.frames());
        looped.insert(looped.end(), part.begin(), part.end());
    }
    looped.resize(kWindow);
    return probe::dominantTone(looped);
}

int threadCount() {
    return static_cast<int>(QDir(QStringLiteral("/proc/self/task"))
                                .entryList(QDir::Dirs | QDir::NoDotAndDotDot)
                                .size());
}

void spin(int ms) {
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
}

struct OpenDevice {
    SdlAudioLayer layer;
    std::unique_ptr<AudioRoot> root;
    std::unique_ptr<SoundDevice> device;
    std::unique_ptr<SoundBuffer> buffer;

    void open(const QString& path) {
        ASSERT_TRUE(layer.createRoot(root).ok());
        const Status created = root->directSoundCreate(QString(), device);
        ASSERT_TRUE(created.ok()) << created.reason().toStdString();
        ASSERT_TRUE(device->setCooperativeLevel(0x1234, DSSCL_NORMAL).ok());
        BufferDescription description;
        description.lFlags = DSBCAPS_STATIC | DSBCAPS_CTRLFREQUENCY | DSBCAPS_CTRLPAN |
                             DSBCAPS_CTRLVOLUME | DSBCAPS_STICKYFOCUS;
        const WaveFormat format{1, 2, 22050, 88200, 4, 16, 0, 0};
        const Status loaded = device->createSoundBufferFromFile(path, description, format, buffer);
        ASSERT_TRUE(loaded.ok()) << loaded.reason().toStdString();
    }
};

// Records until `window` frames of sound, after the start, are in; returns them.
std::vector<float> recordSound(probe::SinkRecorder& recorder, std::size_t from) {
    for (int tries = 0; tries < 20; ++tries) {
        const std::vector<float> tail(recorder.samples().begin() +
                                          static_cast<std::ptrdiff_t>(2 * from),
                                      recorder.samples().end());
        const std::size_t start = probe::firstSoundFrame(tail, -80.0);
        if (start != static_cast<std::size_t>(-1) && tail.size() / 2 >= start + kSettle + kWindow) {
            return std::vector<float>(
                tail.begin() + static_cast<std::ptrdiff_t>(2 * (start + kSettle)),
                tail.begin() + static_cast<std::ptrdiff_t>(2 * (start + kSettle + kWindow)));
        }
        recorder.recordFrames(probe::kRate / 4);
    }
    return {};
}

void expectTone(const std::vector<float>& recorded, const SampleData& file, std::int32_t volume) {
    ASSERT_EQ(recorded.size(), 2 * kWindow) << "no sound recorded";
    for (int ch = 0; ch < 2; ++ch) {
        SCOPED_TRACE(ch == 0 ? "left" : "right");
        const probe::Tone got = probe::dominantTone(probe::channel(recorded, ch, 0, kWindow));
        const probe::Tone want = fileTone(file, ch);
        ::testing::Test::RecordProperty(ch == 0 ? "left_db" : "right_db",
                                        std::to_string(got.levelDb - want.levelDb));
        EXPECT_NEAR(got.frequency, 7500.0, 2.0);
        EXPECT_NEAR(got.levelDb, want.levelDb + volume / 100.0, 0.5);
    }
}

double tailLevel(const probe::SinkRecorder& recorder, std::size_t frames) {
    return probe::rmsDb(probe::channel(recorder.samples(), 0, recorder.frames() - frames, frames));
}

} // namespace

TEST(SdlOutput, PlaysTheFileAtItsLevelPlusTheVolumeAndStopsIdleStreams) {
    QTemporaryDir dir;
    const QString path = toneFile(dir);
    std::shared_ptr<const SampleData> file;
    ASSERT_TRUE(loadSoundFile(path, probe::kRate, file).ok());

    OpenDevice s;
    s.open(path);
    ASSERT_FALSE(HasFatalFailure());
    probe::SinkRecorder recorder;
    QString error;
    ASSERT_TRUE(recorder.start(&error)) << error.toStdString();
    spin(300); // the device's unused stream closes
    const int idleThreads = threadCount();

    for (std::int32_t volume : {-602, 0}) {
        SCOPED_TRACE(volume);
        const std::size_t from = recorder.frames();
        ASSERT_TRUE(s.buffer->play(DSBPLAY_LOOPING).ok());
        ASSERT_TRUE(s.buffer->setVolume(volume).ok());
        expectTone(recordSound(recorder, from), *file, volume);

        ASSERT_TRUE(s.buffer->stop().ok());
        ASSERT_TRUE(s.buffer->setCurrentPosition(0).ok());
        recorder.recordFrames(probe::kRate / 2);
        EXPECT_LT(tailLevel(recorder, probe::kRate / 4), -100.0) << "still sounding after Stop";
        spin(300);
        // Nothing plays: the stream and its thread are gone until the next Play.
        EXPECT_EQ(threadCount(), idleThreads);
    }
}

TEST(SdlOutput, AReplacedDeviceFallsSilentAndItsBufferStaysHarmless) {
    QTemporaryDir dir;
    const QString path = toneFile(dir);
    OpenDevice s;
    s.open(path);
    ASSERT_FALSE(HasFatalFailure());
    probe::SinkRecorder recorder;
    QString error;
    ASSERT_TRUE(recorder.start(&error)) << error.toStdString();

    ASSERT_TRUE(s.buffer->play(DSBPLAY_LOOPING).ok());
    ASSERT_TRUE(s.buffer->setVolume(0).ok());
    recorder.recordFrames(probe::kRate / 2);
    ASSERT_GT(tailLevel(recorder, probe::kRate / 10), -20.0) << "never played";

    std::unique_ptr<SoundDevice> replacement;
    ASSERT_TRUE(s.root->directSoundCreate(QString(), replacement).ok());
    s.device = std::move(replacement);
    recorder.recordFrames(probe::kRate / 2);
    EXPECT_LT(tailLevel(recorder, probe::kRate / 4), -100.0) << "old device still sounding";

    // What the engine sends to such a buffer is taken without harm...
    EXPECT_TRUE(s.buffer->setVolume(-1000).ok());
    EXPECT_TRUE(s.buffer->stop().ok());
    EXPECT_TRUE(s.buffer->setCurrentPosition(0).ok());
    // ...and it never sounds again.
    const Status replay = s.buffer->play(DSBPLAY_LOOPING);
    EXPECT_FALSE(replay.ok());
    EXPECT_FALSE(replay.reason().isEmpty());
    recorder.recordFrames(probe::kRate / 2);
    EXPECT_LT(tailLevel(recorder, probe::kRate / 2), -100.0);
}
