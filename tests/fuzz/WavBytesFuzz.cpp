#include "FuzzedTone.h"

// Any bytes as a tone file: refused with a reason, or loaded as whole stereo
// frames of finite samples; within the run's memory and time limits either way.

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    loadFuzzedTone(QStringLiteral("tone.wav"), bytes, 48000);
    return 0;
}
