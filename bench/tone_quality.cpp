// Our single-tone files beside the same tones made by another generator,
// with the measurements the tone tests use (ToneAnalysis):
//
// tone_quality --list DIR
//   "file shape hz frames peak_dBFS" of each single-tone file in DIR, for
//   making the others with the same length and peak.
// tone_quality OURS OTHERS SPECTRA
//   For each of those files in both directories, one line
//   "file ours_spurious_dB others_spurious_dB ours_seam others_seam
//    ours_inner others_inner" (steps in 16-bit units), and a spectrum of
//   each ("Hz dBFS", the loudest bin of each of 1500 logarithmic bands) as
//   SPECTRA/<file>.ours and SPECTRA/<file>.others.

#include "ToneAnalysis.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <string>

namespace {

using namespace vemba::toneanalysis;

bool singleTone(const ToneFileCase& c) {
    return c.tones.size() == 1;
}

const char* shapeName(const ToneFileCase& c) {
    return c.shape == vemba::WaveShape::Sine ? "sine" : "triangle";
}

void writeSpectrum(const std::vector<std::int16_t>& left, int rate, const std::string& path) {
    const std::vector<double> x(left.begin(), left.end());
    const auto bins = spectrum(x);
    FILE* out = std::fopen(path.c_str(), "w");
    if (out == nullptr) {
        return;
    }
    const double binHz = double(rate) / double(x.size());
    const double ratio = std::pow(double(bins.size()), 1.0 / 1500.0);
    double edge = 1.0;
    for (std::size_t k = 1; k < bins.size();) {
        edge = std::max(edge * ratio, double(k) + 1.0);
        std::size_t loudest = k;
        for (; k < bins.size() && double(k) < edge; ++k) {
            loudest = std::abs(bins[k]) > std::abs(bins[loudest]) ? k : loudest;
        }
        const double amplitude = 2.0 * std::abs(bins[loudest]) / double(x.size()) / 32768.0;
        std::fprintf(out, "%.3f %.2f\n", double(loudest) * binHz,
                     20.0 * std::log10(std::max(amplitude, 1e-12)));
    }
    std::fclose(out);
}

} // namespace

int main(int argc, char** argv) {
    const bool listing = argc == 3 && std::strcmp(argv[1], "--list") == 0;
    if (!listing && argc != 4) {
        std::fprintf(stderr, "usage: %s --list DIR | %s OURS OTHERS SPECTRA\n", argv[0], argv[0]);
        return 2;
    }
    int status = 0;
    for (const ToneFileCase& c : catalogueCases()) {
        if (!singleTone(c)) {
            continue;
        }
        const WavFile ours = readWav(std::string(argv[listing ? 2 : 1]) + "/" + c.name);
        if (!ours.error.empty()) {
            std::fprintf(stderr, "%s\n", ours.error.c_str());
            status = 1;
            continue;
        }
        const ToneMeasures m = measure(c, ours.left, ours.sampleRate);
        if (listing) {
            std::printf("%s %s %g %lld %.2f\n", c.name.c_str(), shapeName(c), c.tones[0],
                        static_cast<long long>(m.frames), m.peakDbfs);
            continue;
        }
        const WavFile others = readWav(std::string(argv[2]) + "/" + c.name);
        if (!others.error.empty()) {
            std::fprintf(stderr, "%s\n", others.error.c_str());
            status = 1;
            continue;
        }
        const ToneMeasures o = measure(c, others.left, others.sampleRate);
        std::printf("%s %.1f %.1f %.0f %.0f %.0f %.0f\n", c.name.c_str(), m.spuriousDb,
                    o.spuriousDb, m.seamStep, o.seamStep, m.largestInnerStep, o.largestInnerStep);
        const std::string base = std::string(argv[3]) + "/" + c.name;
        writeSpectrum(ours.left, ours.sampleRate, base + ".ours");
        writeSpectrum(others.left, others.sampleRate, base + ".others");
    }
    return status;
}
