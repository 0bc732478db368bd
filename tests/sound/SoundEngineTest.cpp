// The engine over a recording audio layer: device set-up, which file a
// channel loads, and playback with the slider's volume.

#include "SoundEngine.h"

#include "QtPrinters.h"
#include "RecordingAudioLayer.h"

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

// Each open makes a new device on the one root; a failed one keeps the device before.
TEST_F(SoundEngineTest, OpensANewDeviceEachTimeAndKeepsTheOldOneOnFailure) {
    audio.script.failDevice = true;
    EXPECT_THROW(engine.InitSoundDevice(), SoundError);
    EXPECT_EQ(engine.device(), nullptr);

    // A refused cooperative level keeps the new device but stops before the
    // buffer description is filled in: buffers then ask for no controls.
    audio.script.failDevice = false;
    audio.script.failCooperativeLevel = true;
    EXPECT_THROW(engine.InitSoundDevice(), SoundError);
    EXPECT_NE(engine.device(), nullptr);
    selection.select(1, 0);
    engine.LoadChannelBuffer(1);
    EXPECT_EQ(audio.log.last(), "createSoundBufferFromFile /20.wav 0");

    audio.script.failCooperativeLevel = false;
    audio.log.clear();
    engine.InitSoundDevice();
    engine.InitSoundDevice();
    EXPECT_EQ(audio.log, (QStringList{"directSoundCreate ''", "setCooperativeLevel 1",
                                      "directSoundCreate ''", "setCooperativeLevel 1"}))
        << "one root for all";
    EXPECT_EQ(audio.liveDevices, 1) << "each new device releases the one before";

    const audio::SoundDevice* kept = engine.device();
    audio.script.failDevice = true;
    EXPECT_THROW(engine.InitSoundDevice(), SoundError);
    EXPECT_EQ(engine.device(), kept);
}

// The file of the first selected member of the channel's variants, in the
// selected shape, with the buffer description's flags (16610).
TEST_F(SoundEngineTest, LoadsTheFileOfTheSelectedVariantAndShape) {
    engine.InitSoundDevice();
    // The load's request; the channel's previous buffer is released after it.
    const auto request = [&](int channel) {
        audio.log.clear();
        engine.LoadChannelBuffer(channel);
        return audio.log.value(0);
    };
    // The sine files; a triangle's name has a "t" in front.
    const char* const kSine[3][5] = {{"20", "30", "40", "203040", "20-40"},
                                     {"5000", "7500", "10000", "5710000", "5-10000"},
                                     {"300", "450", "600", "300450600", "300-600"}};
    for (int channel = 1; channel <= 3; ++channel) {
        for (int variant = 0; variant < 5; ++variant) {
            for (const bool sine : {true, false}) {
                selection.select(channel, variant);
                selection.shapes = {sine, !sine};
                EXPECT_EQ(request(channel),
                          QStringLiteral("createSoundBufferFromFile /%1%2.wav 16610")
                              .arg(sine ? "" : "t", kSine[channel - 1][variant]));
            }
        }
    }
    EXPECT_EQ(audio.liveBuffers, 3);
    // Each channel plays (at the slider's volume) and stops its own buffer.
    for (int channel = 1; channel <= 3; ++channel) {
        audio.log.clear();
        engine.PlayChannel(channel);
        engine.StopChannel(channel);
        const QString name = QStringLiteral("/t%1.wav").arg(kSine[channel - 1][4]);
        EXPECT_EQ(audio.log, QStringList({"play " + name + " 1", "setVolume " + name + " 0",
                                          "stop " + name, "setCurrentPosition " + name + " 0"}));
    }

    // Only the sine member decides the shape: neither selected means triangle.
    selection.shapes = {false, false};
    selection.select(1, 3);
    EXPECT_EQ(request(1), "createSoundBufferFromFile /t203040.wav 16610");

    // The lowest selected member wins.
    selection.shapes = {true, true};
    selection.variants[1] = {false, false, true, false, true};
    EXPECT_EQ(request(2), "createSoundBufferFromFile /10000.wav 16610");

    // None selected: the path is the directory itself, the load fails and the
    // channel keeps its buffer.
    const audio::SoundBuffer* before = engine.buffer(2);
    selection.variants[1] = {};
    EXPECT_THROW(request(2), SoundError);
    EXPECT_EQ(audio.log, QStringList{"createSoundBufferFromFile  16610"});
    EXPECT_EQ(engine.buffer(2), before);
}

TEST_F(SoundEngineTest, VolumeFromSliderOverTheWholeRange) {
    const std::array<int, 11> volumes{-6000, -2000, -1398, -1046, -796, -602,
                                      -444,  -310,  -194,  -92,   0};
    for (int position = 0; position <= 10; ++position) {
        EXPECT_EQ(SoundEngine::VolumeFromSlider(position), volumes[position]) << position;
    }
    EXPECT_EQ(SoundEngine::VolumeFromSlider(-3), VolumeFloor);
}

// The calls of a loaded channel are the window's tests'; here, none at all.
TEST_F(SoundEngineTest, PlayAndStopIgnoreMissingBuffersAndLoadNeedsADevice) {
    engine.PlayChannel(1);
    engine.StopChannel(2);
    engine.setChannelVolume(3, -100);
    EXPECT_EQ(audio.log, QStringList{}) << "no buffer yet: nothing to call, nothing reported";
    EXPECT_THROW(engine.LoadChannelBuffer(1), SoundError) << "no device yet";
}

} // namespace
} // namespace vemba
