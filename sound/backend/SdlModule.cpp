#include "SdlModule.h"

#include "Mixer.h"
#include "ModuleEntry.h"
#include "SdlOutput.h"

namespace vemba::audio {

SdlModule::SdlModule(QString programDir)
    : m_path(programDir + QLatin1Char('/') + QLatin1String(kSdlModuleName)) {}

SdlModule::~SdlModule() = default;

Result SdlModule::load() {
    QString why;
    void* entry = moduleEntry(m_path, kSdlOutputEntry, why);
    if (entry == nullptr) {
        return Result::failure(
            QStringLiteral(
                "PulseAudio のサウンドサーバーが見つからないため SDL で音を出そうとしましたが、"
                "SDL の音声出力部品「%1」を読み込めません: %2")
                .arg(m_path, why));
    }
    m_output.reset(reinterpret_cast<SdlOutputFactory>(entry)());
    return Result::success();
}

Result SdlModule::open(Mixer& mixer, const QString& title, std::unique_ptr<OutputStream>& stream) {
    const std::lock_guard<std::mutex> hold(m_lock);
    if (!m_output) {
        if (Result loaded = load(); !loaded) {
            return loaded;
        }
    }
    const RenderFunction render = [](void* renderer, float* out, int frames) {
        static_cast<Mixer*>(renderer)->render(out, frames);
    };
    return m_output->open(render, &mixer, title, stream);
}

} // namespace vemba::audio
