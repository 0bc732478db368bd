#include "ModuleAudioLayer.h"

#include "AudioModule.h"
#include "ModuleEntry.h"

namespace vemba::audio {

ModuleAudioLayer::ModuleAudioLayer(QString moduleDir) : m_moduleDir(std::move(moduleDir)) {}

// The module's code destroys its layer; the module itself stays loaded, as
// threads and exit handlers of its libraries may still run its code.
ModuleAudioLayer::~ModuleAudioLayer() = default;

Result ModuleAudioLayer::load() {
    const QString path = m_moduleDir + QLatin1Char('/') + QLatin1String(kAudioModuleName);
    QString why;
    void* entry = moduleEntry(path, kAudioModuleEntry, why);
    if (entry == nullptr) {
        return Result::failure(
            QStringLiteral("音声出力部品「%1」を読み込めないため、音を出せません。"
                           "インストールし直してください: %2")
                .arg(path, why));
    }
    m_module = reinterpret_cast<AudioModuleEntry>(entry)();
    m_layer = m_module->createLayer(m_moduleDir);
    m_layer->setFailureListener(m_failureListener);
    m_layer->setStreamLostListener(m_lostListener);
    m_layer->setStreamTitle(m_title);
    return Result::success();
}

Result ModuleAudioLayer::createRoot(std::unique_ptr<AudioRoot>& root) {
    if (!m_layer) {
        if (Result loaded = load(); !loaded) {
            return loaded;
        }
    }
    return m_layer->createRoot(root);
}

void ModuleAudioLayer::setFailureListener(Listener listener) {
    m_failureListener = std::move(listener);
    if (m_layer) {
        m_layer->setFailureListener(m_failureListener);
    }
}

void ModuleAudioLayer::setStreamLostListener(Listener listener) {
    m_lostListener = std::move(listener);
    if (m_layer) {
        m_layer->setStreamLostListener(m_lostListener);
    }
}

void ModuleAudioLayer::setStreamTitle(const QString& title) {
    m_title = title;
    if (m_layer) {
        m_layer->setStreamTitle(m_title);
    }
}

void ModuleAudioLayer::finishOpenings() {
    if (m_module != nullptr) {
        m_module->finishOpenings();
    }
}

} // namespace vemba::audio
