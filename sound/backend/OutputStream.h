#pragma once

#include "AudioLayer.h"

#include <QString>
#include <functional>
#include <memory>

namespace vemba::audio {

class Mixer;

// One open output stream that renders a mixer on a thread of its own.
// Destroying it closes it and waits until that thread has let go of the mixer.
class OutputStream {
public:
    virtual ~OutputStream() = default;
    // Starts rendering; a stream opens silent.
    virtual void start() = 0;
    // A commit reached the mixer while running: let it be heard soon.
    virtual void changed() = 0;
    // The sound server dropped the stream; asked once a second.
    virtual bool gone() = 0;
    // How long what the mixer rendered may still wait to be heard.
    virtual int queuedMs() const = 0;
    // How soon a change is heard once the mixer has rendered it.
    virtual int heardWithinMs() const = 0;
    // What the stream says it plays changed (see streamName); where the
    // sound server lets a stream rename itself. Window thread.
    virtual void setTitle(const QString& /*title*/) {}
};

// The name a stream plays under in the desktop's volume mixer: what plays,
// or the program's name while nothing is chosen.
inline QString streamName(const QString& title) {
    return title.isEmpty() ? QStringLiteral("ヴェンバPC") : title;
}

// Opens a stream on a mixer, named after `title` (streamName), or says in
// the user's language why it cannot.
using StreamOpener =
    std::function<Result(Mixer&, const QString& title, std::unique_ptr<OutputStream>&)>;

} // namespace vemba::audio
