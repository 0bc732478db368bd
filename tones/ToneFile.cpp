#include "ToneFile.h"

#include "Dither.h"
#include "ToneFormat.h"

#include <algorithm>
#include <cmath>
#include <sndfile.h>
#include <system_error>

namespace vemba::tones {

ScaledLoop scaleToPeak(const ToneSignal& signal) {
    ScaledLoop loop;
    loop.samples.resize(static_cast<std::size_t>(signal.frames()));
    signal.render(0, loop.samples);
    double peak = 0.0;
    for (const double s : loop.samples) {
        peak = std::max(peak, std::abs(s));
    }
    if (peak == 0.0) {
        return loop;
    }
    loop.gain = std::pow(10.0, kPeakDbfs / 20.0) / peak;
    for (double& s : loop.samples) {
        s *= loop.gain;
    }
    return loop;
}

std::vector<std::int16_t> toneFileSamples(const ToneSignal& signal, std::string_view fileName) {
    return ditherTo16Bit(scaleToPeak(signal).samples, seedFor(fileName));
}

std::string writeWav(const std::filesystem::path& path, std::span<const std::int16_t> samples) {
    std::vector<std::int16_t> frames;
    frames.reserve(samples.size() * kChannels);
    for (const std::int16_t s : samples) {
        frames.insert(frames.end(), kChannels, s);
    }
    std::filesystem::path partial = path;
    partial += ".part";
    SF_INFO info{};
    info.samplerate = kSampleRate;
    info.channels = kChannels;
    info.format = SF_FORMAT_WAV | SF_FORMAT_PCM_16;
    SNDFILE* file = sf_open(partial.c_str(), SFM_WRITE, &info);
    if (file == nullptr) {
        return "cannot create " + partial.string() + ": " + sf_strerror(nullptr);
    }
    const auto count = static_cast<sf_count_t>(samples.size());
    const sf_count_t written = sf_writef_short(file, frames.data(), count);
    std::string error;
    if (written != count) {
        error = "cannot write " + partial.string() + ": " + sf_strerror(file);
    }
    if (sf_close(file) != 0 && error.empty()) {
        error = "cannot finish " + partial.string();
    }
    std::error_code ec;
    if (error.empty()) {
        std::filesystem::rename(partial, path, ec);
        if (ec) {
            error =
                "cannot rename " + partial.string() + " to " + path.string() + ": " + ec.message();
        }
    }
    if (!error.empty()) {
        std::filesystem::remove(partial, ec);
    }
    return error;
}

std::vector<std::string> writeToneSet(const std::filesystem::path& directory) {
    std::vector<std::string> errors;
    std::error_code ec;
    std::filesystem::create_directories(directory, ec);
    if (ec) {
        errors.push_back("cannot create " + directory.string() + ": " + ec.message());
        return errors;
    }
    for (const ToneRow& row : ToneCatalogue::rows()) {
        for (const WaveShape shape : {WaveShape::Sine, WaveShape::Triangle}) {
            const std::string_view name = ToneCatalogue::fileName(row.channel, row.variant, shape);
            // Catalogue names start with the separator; the directory supplies it.
            const std::filesystem::path path = directory / name.substr(1);
            const ToneSignal signal = ToneSignal::forRow(row.channel, row.variant, shape);
            std::string error = writeWav(path, toneFileSamples(signal, name));
            if (!error.empty()) {
                errors.push_back(std::move(error));
            }
        }
    }
    return errors;
}

} // namespace vemba::tones
