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
    EXPECT_THROW(engine.LoadChannelBuffer(1), SoundError) << "no device yet";

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

    const audio::SoundDevice* kept = engine.device();
    audio.script.failDevice = true;
    EXPECT_THROW(engine.InitSoundDevice(), SoundError);
    EXPECT_EQ(engine.device(), kept);
}

// The file of the first selected member of the channel's variants, in the
// selected shape, with the buffer description's flags (16610); each channel
// plays its own at the slider's volume.
TEST_F(SoundEngineTest, LoadsTheFileOfTheSelectedVariantAndShape) {
    engine.InitSoundDevice();
    // The load's request; the channel's previous buffer is released after it.
    const auto request = [&](int channel) {
        audio.log.clear();
        engine.LoadChannelBuffer(channel);
        return audio.log.value(0);
    };
    selection.select(2, 0);
    EXPECT_EQ(request(2), "createSoundBufferFromFile /5000.wav 16610");
    selection.select(3, 4);
    EXPECT_EQ(request(3), "createSoundBufferFromFile /300-600.wav 16610");
    // Only the sine member decides the shape: neither selected means triangle.
    selection.shapes = {false, false};
    selection.select(1, 1);
    EXPECT_EQ(request(1), "createSoundBufferFromFile /t30.wav 16610");
    for (int channel = 1; channel <= 3; ++channel) {
        audio.log.clear();
        engine.PlayChannel(channel);
        engine.StopChannel(channel);
        EXPECT_EQ(audio.log.size(), 4) << "channel " << channel << " does not play";
    }
    EXPECT_EQ(audio.log, QStringList({"play /300-600.wav 1", "setVolume /300-600.wav 0",
                                      "stop /300-600.wav", "setCurrentPosition /300-600.wav 0"}));

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

// Decibels of the slider's tenth, rounded; nothing or less is the floor.
TEST_F(SoundEngineTest, VolumeFromSliderOverTheWholeRange) {
    EXPECT_EQ(SoundEngine::VolumeFromSlider(5), -602);
    EXPECT_EQ(SoundEngine::VolumeFromSlider(1), -2000);
    EXPECT_EQ(SoundEngine::VolumeFromSlider(0), VolumeFloor);
}

// The calls of a loaded channel are the window's tests'; here, none at all.
TEST_F(SoundEngineTest, PlayAndStopIgnoreMissingBuffers) {
    engine.PlayChannel(1);
    engine.StopChannel(2);
    engine.setChannelVolume(3, -100);
    EXPECT_EQ(audio.log, QStringList{}) << "no buffer yet: nothing to call, nothing reported";
}

} // namespace
} // namespace vemba
