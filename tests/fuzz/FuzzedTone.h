#pragma once

#include "FuzzSupport.h"
#include "WavLoader.h"

#include <cmath>
#include <memory>

// Loads `bytes` as a tone file at `rate`: refused with a reason, or whole
// stereo frames of finite samples. Null when refused.
inline std::shared_ptr<const vemba::audio::SampleData>
loadFuzzedTone(const QString& name, const QByteArray& bytes, int rate) {
    std::shared_ptr<const vemba::audio::SampleData> sound;
    const vemba::Result status =
        vemba::audio::loadSoundFile(writeFuzzFile(name, bytes), rate, sound);
    if (!status) {
        FUZZ_CHECK(!sound && !status.reason().isEmpty());
        return nullptr;
    }
    FUZZ_CHECK(sound && sound->frames() > 0 && sound->samples.size() % 2 == 0);
    for (const float s : sound->samples) {
        FUZZ_CHECK(std::isfinite(s));
    }
    return sound;
}
