// vemba-tone-report <directory>: measures every tone file in the directory and
// prints the figures as a Markdown table.
#include "ToneAnalysis.h"

#include <cstdio>
#include <string>

namespace {

std::string content(const vemba::toneanalysis::ToneFileCase& c) {
    const char* shape = c.shape == vemba::WaveShape::Sine ? "sine" : "triangle";
    const auto hz = [](double f) {
        char text[32];
        std::snprintf(text, sizeof text, "%g", f);
        return std::string(text);
    };
    if (c.isSweep()) {
        return std::string(shape) + " sweep " + hz(c.low) + "–" + hz(c.high) + " Hz";
    }
    std::string tones;
    for (const double f : c.tones) {
        tones += (tones.empty() ? "" : " + ") + hz(f);
    }
    return std::string(shape) + " " + tones + " Hz";
}

const char* spuriousKind(const vemba::toneanalysis::ToneFileCase& c) {
    if (!c.isSweep()) {
        return "worst bin";
    }
    return c.shape == vemba::WaveShape::Sine ? "out of band" : "above 20 kHz";
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: vemba-tone-report <directory>\n");
        return 2;
    }
    const std::string dir = argv[1];
    std::printf("| File | Content | Length (s) | Peak (dBFS) | Spurious (dB) | Seam step / "
                "largest inner step (LSB) |\n");
    std::printf("|---|---|---:|---:|---:|---:|\n");
    int failures = 0;
    for (const auto& c : vemba::toneanalysis::catalogueCases()) {
        const auto wav = vemba::toneanalysis::readWav(dir + "/" + c.name);
        if (!wav.error.empty() || wav.left.empty()) {
            std::fprintf(stderr, "vemba-tone-report: %s\n",
                         wav.error.empty() ? ("no frames in " + c.name).c_str()
                                           : wav.error.c_str());
            ++failures;
            continue;
        }
        const auto m = vemba::toneanalysis::measure(c, wav.left, wav.sampleRate);
        std::printf("| %s | %s | %.4f | %.2f | %.1f (%s) | %.0f / %.0f |\n", c.name.c_str(),
                    content(c).c_str(), static_cast<double>(m.frames) / wav.sampleRate, m.peakDbfs,
                    m.spuriousDb, spuriousKind(c), m.seamStep, m.largestInnerStep);
    }
    return failures == 0 ? 0 : 1;
}
