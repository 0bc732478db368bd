#pragma once

#include "AudioLayer.h"
#include "SampleData.h"

#include <QString>
#include <cstddef>
#include <memory>

namespace vemba::audio {

// Sample rates a sound file may have. Below 8 kHz nothing of a tone is left;
// above 384 kHz no sound card plays, and a header that claims such a rate is
// more likely junk.
inline constexpr int kMinFileRate = 8000;
inline constexpr int kMaxFileRate = 384000;

// Most memory a sound may take, both as read from the file (float, its own
// channels and rate) and as converted for the mixer (stereo float at the
// output rate): 32 MiB, 87 s at 48 kHz. The program's tones are seconds
// long; a longer file is refused before anything that size is allocated.
inline constexpr std::size_t kMaxSoundBytes = std::size_t(32) << 20;

// Reads a whole sound file (WAV and whatever else libsndfile knows: 8-, 16-,
// 24-, 32-bit PCM or float, mono or stereo) into stereo float at
// `outputRate`, as a loop with no DC offset. A mono sound goes to both sides
// at its own level. A file that holds less than its header promises is
// refused. On failure the reason names the file, in Japanese.
Result loadSoundFile(const QString& path, int outputRate, std::shared_ptr<const SampleData>& out);

} // namespace vemba::audio
