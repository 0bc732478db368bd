#pragma once

#include "AudioLayer.h"

#include <QString>
#include <memory>

namespace vemba::audio {

class AudioModule;

// The program's audio layer: loads the audio module (AudioModule.h) from the
// program's directory the first time a root is created, that is at the
// first switch ON, and from then on passes everything to the module's
// layer. The listeners and the stream's title set before then reach it
// once it is made. Used on
// the GUI thread only.
class ModuleAudioLayer : public AudioLayer {
public:
    // moduleDir holds the audio module and the SDL module.
    explicit ModuleAudioLayer(QString moduleDir);
    ~ModuleAudioLayer() override;

    Result createRoot(std::unique_ptr<AudioRoot>& root) override;
    void setFailureListener(Listener listener) override;
    void setStreamLostListener(Listener listener) override;
    void setStreamTitle(const QString& title) override;

    // Returns once the stream openings under way, if any, have ended: for
    // whoever changes the environment that libpulse reads while it connects.
    void finishOpenings();

private:
    Result load();

    QString m_moduleDir;
    AudioModule* m_module = nullptr;
    std::unique_ptr<AudioLayer> m_layer;
    Listener m_failureListener;
    Listener m_lostListener;
    QString m_title;
};

} // namespace vemba::audio
