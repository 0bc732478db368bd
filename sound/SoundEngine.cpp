#include "SoundEngine.h"

#include "ToneCatalogue.h"

#include <cmath>

namespace vemba {

namespace {

void raiseOnFailure(SoundError::Kind kind, const Result& status) {
    if (!status.ok()) {
        throw SoundError(kind, status.reason());
    }
}

} // namespace

SoundEngine::SoundEngine(audio::AudioLayer& layer, const ToneSelection& selection,
                         QString programDir)
    : m_layer(layer), m_selection(selection), m_programDir(std::move(programDir)) {}

SoundEngine::~SoundEngine() = default;

void SoundEngine::InitSoundDevice() {
    if (!m_root) {
        raiseOnFailure(SoundError::Kind::Device, m_layer.createRoot(m_root));
    }

    std::unique_ptr<audio::SoundDevice> device;
    raiseOnFailure(SoundError::Kind::Device, m_root->directSoundCreate(QString(), device));
    m_device = std::move(device);

    raiseOnFailure(SoundError::Kind::Device,
                   m_device->setCooperativeLevel(m_selection.windowHandle(), audio::DSSCL_NORMAL));

    m_description.flags = audio::DSBCAPS_STATIC | audio::DSBCAPS_CTRLFREQUENCY |
                          audio::DSBCAPS_CTRLPAN | audio::DSBCAPS_CTRLVOLUME |
                          audio::DSBCAPS_STICKYFOCUS;

    // 16-bit stereo PCM at 22050 Hz: 4 bytes a frame, 88200 a second.
    m_format = {.formatTag = 1, .channels = 2, .samplesPerSec = 22050, .bitsPerSample = 16};
    m_format.blockAlign = static_cast<std::int16_t>(m_format.bitsPerSample / 8 * m_format.channels);
    m_format.avgBytesPerSec = m_format.blockAlign * m_format.samplesPerSec;
}

void SoundEngine::LoadChannelBuffer(int channel) {
    std::unique_ptr<audio::SoundBuffer>* target = slot(channel);
    if (target == nullptr) {
        throw SoundError(SoundError::Kind::Buffer,
                         QStringLiteral("チャンネル %1 はありません").arg(channel));
    }

    const WaveShape shape =
        m_selection.isWaveShapeSelected(0) ? WaveShape::Sine : WaveShape::Triangle;

    // The first selected member names the file; with none selected the name
    // stays empty and the path is the directory itself, which no load accepts.
    std::string_view name;
    for (int member = 0; member < kVariantCount; ++member) {
        if (m_selection.isVariantSelected(channel, member)) {
            name = ToneCatalogue::fileName(channel, member, shape);
            break;
        }
    }
    const QString path =
        m_programDir + QString::fromUtf8(name.data(), static_cast<qsizetype>(name.size()));

    if (!m_device) {
        throw SoundError(
            SoundError::Kind::Device,
            QStringLiteral("音声デバイスが開かれていないため、%1 を読み込めません").arg(path));
    }
    std::unique_ptr<audio::SoundBuffer> buffer;
    raiseOnFailure(SoundError::Kind::Buffer,
                   m_device->createSoundBufferFromFile(path, m_description, m_format, buffer));
    *target = std::move(buffer);
}

// A channel without a buffer takes these calls as failures, which are ignored.
void SoundEngine::PlayChannel(int channel) {
    if (audio::SoundBuffer* target = loaded(channel)) {
        (void)target->play(audio::DSBPLAY_LOOPING);
        (void)target->setVolume(VolumeFromSlider(m_selection.sliderPosition()));
    }
}

void SoundEngine::StopChannel(int channel) {
    if (audio::SoundBuffer* target = loaded(channel)) {
        (void)target->stop();
        (void)target->setCurrentPosition(0);
    }
}

void SoundEngine::setChannelVolume(int channel, std::int32_t volume) {
    if (audio::SoundBuffer* target = loaded(channel)) {
        (void)target->setVolume(volume);
    }
}

std::int32_t SoundEngine::VolumeFromSlider(int position) {
    if (position > 0) {
        // Evaluated left to right as 20 * ln(v/10) / ln(10) * 100, then rounded
        // half to even (the default floating-point rounding mode).
        const double volume = 20.0 * std::log(position / 10.0) / std::log(10.0) * 100.0;
        return static_cast<std::int32_t>(std::nearbyint(volume));
    }
    return VolumeFloor;
}

const audio::SoundBuffer* SoundEngine::buffer(int channel) const {
    return loaded(channel);
}

audio::SoundBuffer* SoundEngine::loaded(int channel) const {
    if (channel < 1 || channel > kChannelCount) {
        return nullptr;
    }
    return m_buffers[static_cast<std::size_t>(channel - 1)].get();
}

std::unique_ptr<audio::SoundBuffer>* SoundEngine::slot(int channel) {
    if (channel < 1 || channel > kChannelCount) {
        return nullptr;
    }
    return &m_buffers[static_cast<std::size_t>(channel - 1)];
}

} // namespace vemba
