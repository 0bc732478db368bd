#include "RecordingAudioLayer.h"

#include <stdexcept>

namespace vemba::testing {

namespace {

class RecordingBuffer : public audio::SoundBuffer {
public:
    RecordingBuffer(RecordingAudioLayer& layer, QString name)
        : m_layer(layer), m_name(std::move(name)) {}
    ~RecordingBuffer() override { m_layer.log << QStringLiteral("release %1").arg(m_name); }
    Result play(std::int32_t flags) override {
        const Result played = note("play", flags);
        if (m_layer.script.onPlay) {
            m_layer.script.onPlay();
        }
        return played;
    }
    Result setVolume(std::int32_t volume) override { return note("setVolume", volume); }
    Result setCurrentPosition(std::int32_t at) override { return note("setCurrentPosition", at); }
    Result stop() override {
        m_layer.log << QStringLiteral("stop %1").arg(m_name);
        if (m_layer.script.onStop) {
            m_layer.script.onStop();
        }
        return Result::success();
    }

private:
    Result note(const char* call, std::int32_t value) {
        m_layer.log << QStringLiteral("%1 %2 %3").arg(QLatin1String(call), m_name).arg(value);
        return Result::success();
    }

    RecordingAudioLayer& m_layer;
    QString m_name;
};

class RecordingDevice : public audio::SoundDevice {
public:
    explicit RecordingDevice(RecordingAudioLayer& layer) : m_layer(layer) {}

    Result setCooperativeLevel(audio::WindowHandle, std::int32_t level) override {
        m_layer.log << QStringLiteral("setCooperativeLevel %1").arg(level);
        return m_layer.script.failCooperativeLevel ? Result::failure(QStringLiteral("refused"))
                                                   : Result::success();
    }
    Result createSoundBufferFromFile(const QString& path, const audio::BufferDescription& desc,
                                     const audio::WaveFormat&,
                                     std::unique_ptr<audio::SoundBuffer>& buffer) override {
        QString name = path;
        if (!m_layer.script.programDir.isEmpty() && name.startsWith(m_layer.script.programDir)) {
            name = name.mid(m_layer.script.programDir.size());
        }
        m_layer.log << QStringLiteral("createSoundBufferFromFile %1 %2").arg(name).arg(desc.flags);
        if (m_layer.script.throwingFiles.count(name) != 0) {
            throw std::runtime_error("recording layer threw");
        }
        if (name.isEmpty() || m_layer.script.failingFiles.count(name) != 0) {
            return Result::failure(QStringLiteral("%1 を読み込めません").arg(path));
        }
        buffer = std::make_unique<RecordingBuffer>(m_layer, name);
        return Result::success();
    }

private:
    RecordingAudioLayer& m_layer;
};

class RecordingRoot : public audio::AudioRoot {
public:
    explicit RecordingRoot(RecordingAudioLayer& layer) : m_layer(layer) {}
    Result directSoundCreate(const QString& deviceId,
                             std::unique_ptr<audio::SoundDevice>& device) override {
        m_layer.log << QStringLiteral("directSoundCreate '%1'").arg(deviceId);
        if (m_layer.script.onDeviceCreate) {
            m_layer.script.onDeviceCreate();
        }
        if (m_layer.script.failDevice) {
            return Result::failure(QStringLiteral("出力デバイスがありません"));
        }
        device = std::make_unique<RecordingDevice>(m_layer);
        return Result::success();
    }

private:
    RecordingAudioLayer& m_layer;
};

} // namespace

Result RecordingAudioLayer::createRoot(std::unique_ptr<audio::AudioRoot>& root) {
    log << QStringLiteral("createRoot");
    root = std::make_unique<RecordingRoot>(*this);
    return Result::success();
}

} // namespace vemba::testing
