#include "SoundEngine.h"

#include "ToneCatalogue.h"

#include <cmath>
#include <limits>

namespace vemba {

namespace {

using audio::Status;

void raiseOnFailure(SoundError::Kind kind, const Status& status) {
    if (!status.ok()) {
        throw SoundError(kind, status.reason());
    }
}

// Integer members of the wave format are checked as a 16- or 32-bit store
// would be: a value that does not fit is an overflow, not a silent wrap.
template <typename T> T fitOrOverflow(double value) {
    const double rounded = std::nearbyint(value);
    if (rounded < std::numeric_limits<T>::min() || rounded > std::numeric_limits<T>::max()) {
        throw SoundError(
            SoundError::Kind::Device,
            QStringLiteral("音声フォーマットの値が範囲を超えています (オーバーフロー)"));
    }
    return static_cast<T>(rounded);
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

    m_description.lFlags = audio::DSBCAPS_STATIC | audio::DSBCAPS_CTRLFREQUENCY |
                           audio::DSBCAPS_CTRLPAN | audio::DSBCAPS_CTRLVOLUME |
                           audio::DSBCAPS_STICKYFOCUS;

    m_format.nFormatTag = 1;
    m_format.nChannels = 2;
    m_format.lSamplesPerSec = 22050;
    m_format.nBitsPerSample = 16;
    m_format.nBlockAlign =
        fitOrOverflow<std::int16_t>(m_format.nBitsPerSample / 8.0 * m_format.nChannels);
    m_format.lAvgBytesPerSec = fitOrOverflow<std::int32_t>(
        static_cast<double>(m_format.nBlockAlign) * m_format.lSamplesPerSec);
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

void SoundEngine::SetChannelVolume(int channel, std::int32_t volume) {
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
