// The engine over a recording audio layer: device set-up and its records,
// which file a channel loads, and playback with the slider's volume.

#include "SoundEngine.h"

#include "QtPrinters.h"
#include "RecordingAudioLayer.h"
#include "ToneCatalogue.h"

#include <array>
#include <gtest/gtest.h>

namespace vemba {
namespace {

// The window's choices, set directly, so that states a real option group
// never has (none or two selected) can be tried too.
struct FakeSelection : ToneSelection {
    std::array<std::array<bool, 5>, 3> variants{};
    std::array<bool, 2> shapes{true, false};
    int slider = 10;

    bool isVariantSelected(int channel, int member) const override {
        return variants[static_cast<std::size_t>(channel - 1)][static_cast<std::size_t>(member)];
    }
    bool isWaveShapeSelected(int member) const override {
        return shapes[static_cast<std::size_t>(member)];
    }
    int sliderPosition() const override { return slider; }
    audio::WindowHandle windowHandle() const override { return 42; }

    void select(int channel, int member) {
        variants[static_cast<std::size_t>(channel - 1)] = {};
        variants[static_cast<std::size_t>(channel - 1)][static_cast<std::size_t>(member)] = true;
    }
};

class SoundEngineTest : public ::testing::Test {
protected:
    void SetUp() override { audio.script.programDir = QStringLiteral("/opt/vemba"); }

    testing::RecordingAudioLayer audio;
    FakeSelection selection;
    SoundEngine engine{audio, selection, QStringLiteral("/opt/vemba")};
};

TEST_F(SoundEngineTest, DeviceRecordsHoldTheirValuesAfterAnyNumberOfOpens) {
    EXPECT_FALSE(engine.hasRoot());
    EXPECT_EQ(engine.bufferDescription().lFlags, 0);
    EXPECT_EQ(engine.waveFormat().nChannels, 0);

    for (int i = 0; i < 3; ++i) {
        engine.InitSoundDevice();
    }
    EXPECT_EQ(audio.log, (QStringList{"createRoot", "directSoundCreate ''", "setCooperativeLevel 1",
                                      "directSoundCreate ''", "setCooperativeLevel 1",
                                      "directSoundCreate ''", "setCooperativeLevel 1"}));
    EXPECT_EQ(audio.liveDevices, 1) << "each new device releases the one before";

    EXPECT_EQ(engine.bufferDescription().lFlags, 16610);
    EXPECT_EQ(engine.bufferDescription().lBufferBytes, 0);
    const audio::WaveFormat& f = engine.waveFormat();
    EXPECT_EQ(f.nFormatTag, 1);
    EXPECT_EQ(f.nChannels, 2);
    EXPECT_EQ(f.lSamplesPerSec, 22050);
    EXPECT_EQ(f.nBitsPerSample, 16);
    EXPECT_EQ(f.nBlockAlign, 4);
    EXPECT_EQ(f.lAvgBytesPerSec, 88200);
    EXPECT_EQ(f.nSize, 0);
    EXPECT_EQ(f.lExtra, 0);
}

TEST_F(SoundEngineTest, FailedDeviceOpenLeavesThePreviousDevice) {
    audio.script.failDevice = true;
    EXPECT_THROW(engine.InitSoundDevice(), SoundError);
    EXPECT_EQ(engine.device(), nullptr);
    EXPECT_EQ(engine.bufferDescription().lFlags, 0);

    audio.script.failDevice = false;
    engine.InitSoundDevice();
    const audio::SoundDevice* first = engine.device();
    audio.script.failDevice = true;
    try {
        engine.InitSoundDevice();
        ADD_FAILURE() << "no error raised";
    } catch (const SoundError& error) {
        EXPECT_EQ(error.kind(), SoundError::Kind::Device);
        EXPECT_FALSE(error.message().isEmpty());
    }
    EXPECT_EQ(engine.device(), first);

    // A refused cooperative level keeps the new device but stops before the records.
    audio.script = {};
    audio.script.failCooperativeLevel = true;
    EXPECT_THROW(engine.InitSoundDevice(), SoundError);
    EXPECT_NE(engine.device(), first);
    EXPECT_EQ(audio.log.count("createRoot"), 1);
}

TEST_F(SoundEngineTest, EveryChannelVariantAndShapeLoadsItsFile) {
    // Written out here, not taken from the program's table.
    const char* names[3][5][2] = {
        {{"/20.wav", "/t20.wav"},
         {"/30.wav", "/t30.wav"},
         {"/40.wav", "/t40.wav"},
         {"/203040.wav", "/t203040.wav"},
         {"/20-40.wav", "/t20-40.wav"}},
        {{"/5000.wav", "/t5000.wav"},
         {"/7500.wav", "/t7500.wav"},
         {"/10000.wav", "/t10000.wav"},
         {"/5710000.wav", "/t5710000.wav"},
         {"/5-10000.wav", "/t5-10000.wav"}},
        {{"/300.wav", "/t300.wav"},
         {"/450.wav", "/t450.wav"},
         {"/600.wav", "/t600.wav"},
         {"/300450600.wav", "/t300450600.wav"},
         {"/300-600.wav", "/t300-600.wav"}},
    };
    engine.InitSoundDevice();
    for (int channel = 1; channel <= 3; ++channel) {
        for (int variant = 0; variant < 5; ++variant) {
            for (int shape = 0; shape < 2; ++shape) {
                const QString name = QString::fromUtf8(names[channel - 1][variant][shape]);
                selection.select(channel, variant);
                selection.shapes = {shape == 0, shape == 1};
                audio.log.clear();
                engine.LoadChannelBuffer(channel);
                EXPECT_EQ(audio.log.value(0),
                          QStringLiteral("createSoundBufferFromFile %1 16610").arg(name));
                EXPECT_EQ(QString::fromUtf8(ToneCatalogue::fileName(
                                                channel, variant,
                                                shape == 0 ? WaveShape::Sine : WaveShape::Triangle)
                                                .data()),
                          name);
            }
        }
    }
    EXPECT_EQ(audio.liveBuffers, 3);
}

TEST_F(SoundEngineTest, SelectionRulesOfTheLoad) {
    engine.InitSoundDevice();
    // Only the sine member decides the shape: neither selected means triangle.
    selection.shapes = {false, false};
    selection.select(1, 3);
    engine.LoadChannelBuffer(1);
    EXPECT_EQ(audio.log.last(), "createSoundBufferFromFile /t203040.wav 16610");

    // The lowest selected member wins.
    selection.shapes = {true, true};
    selection.variants[1] = {false, false, true, false, true};
    engine.LoadChannelBuffer(2);
    EXPECT_EQ(audio.log.last(), "createSoundBufferFromFile /10000.wav 16610");

    // None selected: the path is the directory itself, the load fails and the
    // channel keeps its buffer.
    const audio::SoundBuffer* before = engine.buffer(2);
    selection.variants[1] = {};
    EXPECT_THROW(engine.LoadChannelBuffer(2), SoundError);
    EXPECT_EQ(audio.log.last(), "createSoundBufferFromFile  16610");
    EXPECT_EQ(engine.buffer(2), before);
}

TEST_F(SoundEngineTest, FailedLoadKeepsThePreviousBufferAndSaysWhichFile) {
    EXPECT_THROW(engine.LoadChannelBuffer(1), SoundError) << "no device yet";
    engine.InitSoundDevice();
    selection.select(3, 0);
    engine.LoadChannelBuffer(3);
    const audio::SoundBuffer* before = engine.buffer(3);

    selection.select(3, 1);
    audio.script.failingFiles = {"/450.wav"};
    try {
        engine.LoadChannelBuffer(3);
        ADD_FAILURE() << "no error raised";
    } catch (const SoundError& error) {
        EXPECT_EQ(error.kind(), SoundError::Kind::Buffer);
        EXPECT_TRUE(error.message().contains("/opt/vemba/450.wav"));
    }
    EXPECT_EQ(engine.buffer(3), before);
}

TEST_F(SoundEngineTest, VolumeFromSliderOverTheWholeRange) {
    const std::array<int, 11> volumes{-6000, -2000, -1398, -1046, -796, -602,
                                      -444,  -310,  -194,  -92,   0};
    for (int position = 0; position <= 10; ++position) {
        EXPECT_EQ(SoundEngine::VolumeFromSlider(position), volumes[position]) << position;
    }
    EXPECT_EQ(SoundEngine::VolumeFromSlider(-3), VolumeFloor);
}

TEST_F(SoundEngineTest, PlayAndStopRunEveryStepAndIgnoreMissingBuffers) {
    engine.PlayChannel(1);
    engine.StopChannel(2);
    engine.SetChannelVolume(3, -100);
    EXPECT_EQ(audio.log, QStringList{}) << "no buffer yet: nothing to call, nothing reported";

    engine.InitSoundDevice();
    selection.select(2, 1);
    selection.slider = 3;
    engine.LoadChannelBuffer(2);
    audio.log.clear();
    engine.PlayChannel(2);
    engine.StopChannel(2);
    engine.StopChannel(2);
    EXPECT_EQ(audio.log, (QStringList{"play /7500.wav 1", "setVolume /7500.wav -1046",
                                      "stop /7500.wav", "setCurrentPosition /7500.wav 0",
                                      "stop /7500.wav", "setCurrentPosition /7500.wav 0"}));
}

} // namespace
} // namespace vemba
