#pragma once

#include "AudioLayer.h"
#include "SampleData.h"

#include <QString>
#include <memory>

namespace vemba::audio {

// Longest sound a buffer takes, in seconds.
inline constexpr int kMaxSoundSeconds = 600;

// Reads a whole sound file (WAV and whatever else libsndfile knows: 8-, 16-,
// 24-, 32-bit PCM or float, mono or stereo, any rate) into stereo float at
// `outputRate`. A mono sound goes to both sides at its own level. On failure
// the reason names the file, in the user's language.
Status loadSoundFile(const QString& path, int outputRate, std::shared_ptr<const SampleData>& out);

} // namespace vemba::audio
