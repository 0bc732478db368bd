#include "SdlAudioLayer.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

using namespace vemba::audio;

namespace {

class KeptDevice : public SoundDevice {
public:
    Status setCooperativeLevel(WindowHandle, std::int32_t) override { return Status::success(); }
    Status createSoundBufferFromFile(const QString&, const BufferDescription&, const WaveFormat&,
                                     std::unique_ptr<SoundBuffer>&) override {
        return Status::success();
    }
};

} // namespace

// PULSE_SERVER points where no server listens (see CMakeLists.txt).
TEST(SdlNoServer, CreatingTheDeviceFailsWithSdlsReasonAndKeepsThePreviousOne) {
    SdlAudioLayer layer;
    std::unique_ptr<AudioRoot> root;
    ASSERT_TRUE(layer.createRoot(root).ok());

    std::unique_ptr<SoundDevice> device = std::make_unique<KeptDevice>();
    const SoundDevice* previous = device.get();
    for (int attempt = 0; attempt < 2; ++attempt) {
        QElapsedTimer clock;
        clock.start();
        const Status status = root->directSoundCreate(QString(), device);
        RecordProperty("failure_ms_attempt_" + std::to_string(attempt),
                       static_cast<int>(clock.elapsed()));
        ASSERT_FALSE(status.ok());
        RecordProperty("reason", status.reason().toStdString());
        const QString prefix = QStringLiteral("音声出力デバイスを開けません: ");
        EXPECT_TRUE(status.reason().startsWith(prefix)) << status.reason().toStdString();
        EXPECT_GT(status.reason().size(), prefix.size()) << "SDL's reason is missing";
        EXPECT_EQ(device.get(), previous);
    }
    const Status other = root->directSoundCreate(QStringLiteral("hw:9"), device);
    EXPECT_FALSE(other.ok());
    EXPECT_EQ(device.get(), previous);
}
