#include "FuzzSupport.h"
#include "WavLoader.h"

#include <cmath>
#include <memory>

// Any bytes as a tone file: refused with a reason, or loaded as whole stereo
// frames of finite samples; within the run's memory and time limits either way.
// The seeds are WAV files of each kind the loader reads, and some whose header
// fields disagree.

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const QByteArray bytes(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    std::shared_ptr<const vemba::audio::SampleData> sound;
    const vemba::Result status =
        vemba::audio::loadSoundFile(writeFuzzFile(QStringLiteral("tone.wav"), bytes), 48000, sound);
    if (!status) {
        FUZZ_CHECK(!sound && !status.reason().isEmpty());
        return 0;
    }
    FUZZ_CHECK(sound && sound->frames() > 0 && sound->samples.size() % 2 == 0);
    for (const float s : sound->samples) {
        FUZZ_CHECK(std::isfinite(s));
    }
    return 0;
}
