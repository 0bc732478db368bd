#pragma once

#include "AudioLayer.h"

#include <QString>
#include <memory>

namespace vemba::audio {

class FailureReporter;
class StreamTitles;

// The audio layer: one output stream per device, fed by a software mixer,
// opened on the default output: our own stream where a PulseAudio server
// answers, else SDL's audio subsystem (audio only, never video) on the
// backend it picks; SDL_AUDIODRIVER chooses (see streamOpener). SDL comes
// from a module in the program's directory, loaded only then (SdlOutput.h).
//
// Nothing touches the sound server before the first device opens. While no buffer sounds, a
// device's stream is closed and the next Play opens it again; changes made in one GUI event reach
// the mixer together at the end of that event.
class MixingAudioLayer : public AudioLayer {
public:
    // programDir holds the SDL module: the executable's directory.
    explicit MixingAudioLayer(QString programDir);
    ~MixingAudioLayer() override;

    Result createRoot(std::unique_ptr<AudioRoot>& root) override;
    void setFailureListener(Listener listener) override;
    void setStreamLostListener(Listener listener) override;
    void setStreamTitle(const QString& title) override;

private:
    QString m_programDir;
    std::shared_ptr<FailureReporter> m_reporter;
    std::shared_ptr<StreamTitles> m_titles;
};

} // namespace vemba::audio
