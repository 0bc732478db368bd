#pragma once

#include "ToneSignal.h"

#include <cstdint>
#include <filesystem>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace vemba::tones {

// One loop scaled to the common peak, in full-scale units, and the factor
// that scaled it (the same factor carries the signal past the loop end).
struct ScaledLoop {
    std::vector<double> samples;
    double gain = 0.0;
};

ScaledLoop scaleToPeak(const ToneSignal& signal);

// The file's 16-bit samples, one per frame: scaled and dithered with the
// file's own seed.
std::vector<std::int16_t> toneFileSamples(const ToneSignal& signal, std::string_view fileName);

// Writes the samples to both channels of a 16-bit PCM WAV file at the common
// rate. Returns an error text, empty on success. The file appears under its
// name only once complete, so an interrupted run never leaves a short file
// that looks current.
std::string writeWav(const std::filesystem::path& path, std::span<const std::int16_t> samples);

// Writes every file of the catalogue into `directory`. Returns the error
// texts, empty on success.
std::vector<std::string> writeToneSet(const std::filesystem::path& directory);

} // namespace vemba::tones
