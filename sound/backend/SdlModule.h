#pragma once

#include "OutputStream.h"

#include <QString>
#include <memory>
#include <mutex>

namespace vemba::audio {

class Mixer;
class SdlOutput;

// The program's side of the SDL module (SdlOutput.h): loads it from the
// program's directory the first time a stream goes through SDL, and keeps it
// loaded for the rest of the process, since its streams may outlive this.
class SdlModule {
public:
    explicit SdlModule(QString programDir);
    ~SdlModule();

    // Streams open on a thread of their own, several devices at once.
    Result open(Mixer& mixer, const QString& title, std::unique_ptr<OutputStream>& stream);

private:
    Result load();

    QString m_path;
    std::mutex m_lock;
    std::unique_ptr<SdlOutput> m_output;
};

} // namespace vemba::audio
