#include "MixingAudioLayer.h"

#include "OutputCore.h"
#include "PulseStream.h"
#include "SdlModule.h"
#include "WavLoader.h"

#include <QByteArray>
#include <vector>

namespace vemba::audio {

namespace {

// The mixer's sample format: float stereo, 8 bytes a frame. Buffer positions
// are byte offsets into it.
constexpr std::int32_t kBytesPerFrame = 2 * sizeof(float);

// The mixer's slots must never run out, however fast the user clicks or a key
// repeats. The program holds three buffers, one a channel; a commit releases
// at most those three (a buffer made and released between two commits never
// reaches the render side and frees its slot at once), and commits come at
// most every OutputCore::kMinCommitMs. A released voice keeps its slot until
// the change reaches the render side (at the latest with the stream's next
// request), its fade ends (within a block) and no rewrite of the queue can
// go back to before it (PulseStream keeps kCheckpoints blocks).
constexpr int kBuffersHeld = 3;
constexpr int kHeldMs =
    1000 *
    (PulseStream::kRequestFrames + (PulseStream::kCheckpoints + 1) * PulseStream::kBlockFrames) /
    Mixer::kSampleRate;
constexpr int kCommitsWhileHeld =
    (kHeldMs + OutputCore::kMinCommitMs - 1) / OutputCore::kMinCommitMs;
// The playing buffers, and those released by every commit in that time.
static_assert(Mixer::kMaxVoices >= kBuffersHeld * (kCommitsWhileHeld + 2));

class MixedSoundBuffer : public SoundBuffer {
public:
    MixedSoundBuffer(std::shared_ptr<OutputCore> core, int voice, std::uint32_t frames,
                     bool volumeControl)
        : m_core(std::move(core)), m_voice(voice), m_frames(frames),
          m_volumeControl(volumeControl) {}

    ~MixedSoundBuffer() override {
        m_core->mixer().release(m_voice);
        m_core->changed();
    }

    Result play(std::int32_t flags) override {
        if (flags != DSBPLAY_LOOPING) {
            return Result::failure(
                QStringLiteral("再生フラグ %1 には対応していません (ループ再生のみ)。").arg(flags));
        }
        if (m_core->dead()) {
            return Result::failure(
                QStringLiteral("このバッファの音声デバイスはすでに閉じられています。"));
        }
        // A lost stream is being reopened already; the voice joins it then.
        if (!m_core->streamOpen() && !m_core->lost()) {
            Result opened = m_core->openStream();
            if (!opened) {
                m_core->reporter()->failed(opened.reason());
                return opened;
            }
            m_core->reporter()->recovered();
        }
        m_core->mixer().play(m_voice);
        m_core->changed();
        return Result::success();
    }

    Result setVolume(std::int32_t volume) override {
        if (!m_volumeControl) {
            return Result::failure(
                QStringLiteral("このバッファは音量を変えられない設定で作られています。"));
        }
        if (volume < Mixer::kMinVolume || volume > 0) {
            return Result::failure(
                QStringLiteral("音量 %1 は範囲外です (-10000 から 0)。").arg(volume));
        }
        m_core->mixer().setVolume(m_voice, volume);
        m_core->changed();
        return Result::success();
    }

    Result stop() override {
        m_core->mixer().stop(m_voice);
        m_core->changed();
        return Result::success();
    }

    Result setCurrentPosition(std::int32_t position) override {
        if (position < 0 || static_cast<std::uint32_t>(position / kBytesPerFrame) >= m_frames) {
            return Result::failure(
                QStringLiteral("再生位置 %1 はバッファの範囲外です。").arg(position));
        }
        m_core->mixer().setPosition(m_voice, static_cast<std::uint32_t>(position / kBytesPerFrame));
        m_core->changed();
        return Result::success();
    }

private:
    std::shared_ptr<OutputCore> m_core;
    int m_voice;
    std::uint32_t m_frames;
    bool m_volumeControl;
};

class MixedSoundDevice : public SoundDevice {
public:
    explicit MixedSoundDevice(std::shared_ptr<OutputCore> core) : m_core(std::move(core)) {}
    ~MixedSoundDevice() override { m_core->shutDown(); }

    // Linux has no focus-bound audibility: the window plays no part.
    Result setCooperativeLevel(WindowHandle, std::int32_t level) override {
        if (level < DSSCL_NORMAL || level > 4) {
            return Result::failure(QStringLiteral("協調レベル %1 は不正です。").arg(level));
        }
        return Result::success();
    }

    // The buffer's format is the mixer's; the records only ask for controls.
    Result createSoundBufferFromFile(const QString& path, const BufferDescription& description,
                                     const WaveFormat&,
                                     std::unique_ptr<SoundBuffer>& buffer) override {
        std::shared_ptr<const SampleData> data;
        if (Result loaded = loadSoundFile(path, Mixer::kSampleRate, data); !loaded) {
            return loaded;
        }
        const int voice = m_core->mixer().addVoice(data);
        if (voice < 0) {
            return Result::failure(
                QStringLiteral(
                    "「%1」を読み込めません: 同時に使えるバッファの数 (%2) を超えています。")
                    .arg(path)
                    .arg(Mixer::kMaxVoices));
        }
        buffer = std::make_unique<MixedSoundBuffer>(m_core, voice, data->frames(),
                                                    (description.flags & DSBCAPS_CTRLVOLUME) != 0);
        m_core->changed();
        return Result::success();
    }

private:
    std::shared_ptr<OutputCore> m_core;
};

// Our own stream where a PulseAudio server answers (PipeWire runs one as
// well), as it costs the machine least; SDL's choice of backend where none is
// there. A server that is there but does not answer is the cause to name:
// SDL's backends would only wait on it too (ALSA's default device leads to
// it) and then blame themselves. SDL_AUDIODRIVER=pulseaudio asks for the
// first alone, any other driver for SDL.
StreamOpener streamOpener(std::shared_ptr<SdlModule> sdl) {
    return [sdl = std::move(sdl)](Mixer& mixer, const QString& title,
                                  std::unique_ptr<OutputStream>& stream) {
        const QByteArray driver = qgetenv("SDL_AUDIODRIVER");
        const bool pulseOnly = driver == "pulseaudio" || driver == "pulse";
        if (driver.isEmpty() || pulseOnly) {
            bool noServer = false;
            Result opened = PulseStream::open(mixer, title, stream, &noServer);
            if (opened || pulseOnly || !noServer) {
                return opened;
            }
        }
        return sdl->open(mixer, title, stream);
    };
}

} // namespace

// The title every device's stream plays under (window thread only).
class StreamTitles {
public:
    void set(const QString& title) {
        m_title = title;
        std::erase_if(m_cores, [](const std::weak_ptr<OutputCore>& c) { return c.expired(); });
        for (const std::weak_ptr<OutputCore>& core : m_cores) {
            if (auto alive = core.lock()) {
                alive->setTitle(title);
            }
        }
    }
    void follow(const std::shared_ptr<OutputCore>& core) {
        core->setTitle(m_title);
        m_cores.push_back(core);
    }

private:
    QString m_title;
    std::vector<std::weak_ptr<OutputCore>> m_cores;
};

namespace {

class MixedAudioRoot : public AudioRoot {
public:
    MixedAudioRoot(std::shared_ptr<SdlModule> sdl, std::shared_ptr<FailureReporter> reporter,
                   std::shared_ptr<StreamTitles> titles)
        : m_sdl(std::move(sdl)), m_reporter(std::move(reporter)), m_titles(std::move(titles)) {}

    Result directSoundCreate(const QString& deviceId,
                             std::unique_ptr<SoundDevice>& device) override {
        if (!deviceId.isEmpty()) {
            return Result::failure(
                QStringLiteral("既定以外の出力デバイス (%1) は選べません。").arg(deviceId));
        }
        auto core = std::make_shared<OutputCore>(streamOpener(m_sdl), m_reporter);
        m_titles->follow(core);
        if (Result opened = core->openStream(); !opened) {
            return opened;
        }
        m_reporter->recovered();
        device = std::make_unique<MixedSoundDevice>(core);
        // Closed again if nothing plays on it soon.
        core->scheduleHousekeeping();
        return Result::success();
    }

private:
    std::shared_ptr<SdlModule> m_sdl;
    std::shared_ptr<FailureReporter> m_reporter;
    std::shared_ptr<StreamTitles> m_titles;
};

} // namespace

MixingAudioLayer::MixingAudioLayer(QString programDir)
    : m_programDir(std::move(programDir)), m_reporter(std::make_shared<FailureReporter>()),
      m_titles(std::make_shared<StreamTitles>()) {}

MixingAudioLayer::~MixingAudioLayer() = default;

Result MixingAudioLayer::createRoot(std::unique_ptr<AudioRoot>& root) {
    // SDL is loaded and starts only if a stream is ever opened through it;
    // opening a device reports why no stream opens.
    root = std::make_unique<MixedAudioRoot>(std::make_shared<SdlModule>(m_programDir), m_reporter,
                                            m_titles);
    return Result::success();
}

void MixingAudioLayer::setFailureListener(Listener listener) {
    m_reporter->setListener(std::move(listener));
}

void MixingAudioLayer::setStreamLostListener(Listener listener) {
    m_reporter->setLostListener(std::move(listener));
}

void MixingAudioLayer::setStreamTitle(const QString& title) {
    m_titles->set(title);
}

} // namespace vemba::audio
