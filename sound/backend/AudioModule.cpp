// The entry of the audio module (AudioModule.h).
#include "AudioModule.h"

#include "MixingAudioLayer.h"
#include "OutputCore.h"

namespace vemba::audio {
namespace {

class MixingAudioModule : public AudioModule {
public:
    std::unique_ptr<AudioLayer> createLayer(const QString& programDir) override {
        return std::make_unique<MixingAudioLayer>(programDir);
    }
    void finishOpenings() override { OutputCore::finishOpenings(); }
};

} // namespace
} // namespace vemba::audio

extern "C" __attribute__((visibility("default"))) vemba::audio::AudioModule* vemba_audio_module() {
    // Never destroyed: the module is never unloaded, and its layers may
    // still be going when the process ends.
    static auto* module = new vemba::audio::MixingAudioModule;
    return module;
}
