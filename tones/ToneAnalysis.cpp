#include "ToneAnalysis.h"

#include <algorithm>
#include <cmath>
#include <fftw3.h>
#include <numbers>
#include <numeric>
#include <sndfile.h>

namespace vemba::toneanalysis {

namespace {

constexpr double kHarmonicLimit = 20000.0;

double dB(double powerRatio) {
    return 10.0 * std::log10(std::max(powerRatio, 1e-30));
}

double binOf(double frequency, std::size_t n, double rate) {
    return frequency * static_cast<double>(n) / rate;
}

} // namespace

std::vector<ToneFileCase> catalogueCases() {
    std::vector<ToneFileCase> cases;
    for (const ToneRow& row : ToneCatalogue::rows()) {
        const auto band = ToneCatalogue::bandTones(row.channel);
        for (const WaveShape shape : {WaveShape::Sine, WaveShape::Triangle}) {
            ToneFileCase c;
            c.name =
                std::string(ToneCatalogue::fileName(row.channel, row.variant, shape).substr(1));
            c.channel = row.channel;
            c.variant = row.variant;
            c.shape = shape;
            if (row.variant == static_cast<int>(ToneVariant::Sweep)) {
                c.low = band[0];
                c.high = band[2];
            } else if (row.variant == static_cast<int>(ToneVariant::Superimposed)) {
                c.tones.assign(band.begin(), band.end());
            } else {
                c.tones = {band[static_cast<std::size_t>(row.variant)]};
            }
            cases.push_back(c);
        }
    }
    return cases;
}

WavFile readWav(const std::string& path) {
    WavFile wav;
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) {
        wav.error = "cannot open " + path + ": " + sf_strerror(nullptr);
        return wav;
    }
    wav.format = info.format;
    wav.sampleRate = info.samplerate;
    wav.channels = info.channels;
    std::vector<std::int16_t> frames(static_cast<std::size_t>(info.frames * info.channels));
    if (sf_readf_short(file, frames.data(), info.frames) != info.frames) {
        wav.error = "short read from " + path;
    }
    sf_close(file);
    for (std::size_t i = 0; info.channels >= 2 && i + 1 < frames.size();
         i += static_cast<std::size_t>(info.channels)) {
        wav.left.push_back(frames[i]);
        wav.right.push_back(frames[i + 1]);
    }
    return wav;
}

std::vector<std::complex<double>> spectrum(std::span<const double> x) {
    const int n = static_cast<int>(x.size());
    std::vector<double> in(x.begin(), x.end());
    std::vector<std::complex<double>> out(x.size() / 2 + 1);
    fftw_plan plan = fftw_plan_dft_r2c_1d(n, in.data(), reinterpret_cast<fftw_complex*>(out.data()),
                                          FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    return out;
}

std::vector<std::size_t> intendedBins(const ToneFileCase& c, std::int64_t frames, double rate) {
    std::vector<std::size_t> bins;
    const auto n = static_cast<std::size_t>(frames);
    for (const double tone : c.tones) {
        const double bin = binOf(tone, n, rate);
        if (std::abs(bin - std::round(bin)) > 1e-9) {
            return {};
        }
        const int last = c.shape == WaveShape::Sine ? 1 : 1 << 20;
        for (int h = 1; h <= last && h * tone < kHarmonicLimit; h += 2) {
            bins.push_back(static_cast<std::size_t>(std::llround(bin)) *
                           static_cast<std::size_t>(h));
        }
    }
    return bins;
}

namespace {

// The analytic signal of the part of `x` between `low` and `high` hertz,
// treating `x` as one period of a loop.
std::vector<std::complex<double>> analyticBand(std::span<const double> x, double rate, double low,
                                               double high) {
    const std::size_t n = x.size();
    const auto half = spectrum(x);
    std::vector<std::complex<double>> full(n);
    for (std::size_t k = 1; k < half.size(); ++k) {
        const double f = static_cast<double>(k) * rate / static_cast<double>(n);
        if (f >= low && f <= high) {
            full[k] = 2.0 * half[k] / static_cast<double>(n);
        }
    }
    fftw_plan plan = fftw_plan_dft_1d(
        static_cast<int>(n), reinterpret_cast<fftw_complex*>(full.data()),
        reinterpret_cast<fftw_complex*>(full.data()), FFTW_BACKWARD, FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);
    return full;
}

// Instantaneous frequency of an analytic signal, averaged over `span` frames
// centred on each frame, around the loop.
std::vector<double> instantaneousFrequency(std::span<const std::complex<double>> z, double rate,
                                           int span) {
    const std::size_t n = z.size();
    std::vector<double> step(n);
    for (std::size_t i = 0; i < n; ++i) {
        step[i] = std::arg(z[(i + 1) % n] * std::conj(z[i]));
    }
    // Sliding sum of the phase steps around the loop.
    const std::size_t width = static_cast<std::size_t>(span);
    double sum = 0.0;
    for (std::size_t i = 0; i < width; ++i) {
        sum += step[(n - width / 2 + i) % n];
    }
    std::vector<double> freq(n);
    const double toHz = rate / (2.0 * std::numbers::pi * static_cast<double>(width));
    for (std::size_t i = 0; i < n; ++i) {
        freq[i] = sum * toHz;
        sum += step[(i + width - width / 2) % n] - step[(i + n - width / 2) % n];
    }
    return freq;
}

// Frequency of the tone nearest `nominal`: Hann window and two-bin
// interpolation, exact for a lone tone.
double estimateFrequency(std::span<const double> x, double rate, double nominal) {
    const std::size_t n = x.size();
    std::vector<double> windowed(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * std::numbers::pi * static_cast<double>(i) /
                                              static_cast<double>(n));
        windowed[i] = x[i] * w;
    }
    const auto bins = spectrum(windowed);
    auto k = static_cast<std::size_t>(std::llround(binOf(nominal, n, rate)));
    k = std::clamp<std::size_t>(k, 2, bins.size() - 3);
    for (const std::size_t near : {k - 1, k + 1}) {
        if (std::abs(bins[near]) > std::abs(bins[k])) {
            k = near;
        }
    }
    const double centre = std::abs(bins[k]);
    const double above = std::abs(bins[k + 1]) / centre;
    const double below = std::abs(bins[k - 1]) / centre;
    const double delta =
        above > below ? (2.0 * above - 1.0) / (above + 1.0) : -(2.0 * below - 1.0) / (below + 1.0);
    return (static_cast<double>(k) + delta) * rate / static_cast<double>(n);
}

void measureFixed(const ToneFileCase& c, std::span<const double> x, double rate, ToneMeasures& m) {
    const auto bins = spectrum(x);
    const auto intended = intendedBins(c, static_cast<std::int64_t>(x.size()), rate);
    std::vector<bool> isIntended(bins.size(), false);
    for (const std::size_t k : intended) {
        if (k < bins.size()) {
            isIntended[k] = true;
        }
    }
    double strongest = 0.0;
    std::vector<double> tonePowers;
    for (const double tone : c.tones) {
        const auto k = static_cast<std::size_t>(std::llround(binOf(tone, x.size(), rate)));
        tonePowers.push_back(std::norm(bins[std::min(k, bins.size() - 1)]));
        strongest = std::max(strongest, tonePowers.back());
        m.toneFrequencies.push_back(estimateFrequency(x, rate, tone));
    }
    for (const double p : tonePowers) {
        m.toneLevelsDb.push_back(dB(p / strongest));
    }
    double worst = 0.0;
    for (std::size_t k = 0; k < bins.size(); ++k) {
        // A file that misses whole periods has no intended bins: all is spurious.
        if (!isIntended[k] || intended.empty()) {
            worst = std::max(worst, std::norm(bins[k]));
        }
    }
    m.spuriousDb = dB(worst / strongest);
}

void measureSweep(const ToneFileCase& c, std::span<const double> x, double rate, ToneMeasures& m) {
    const auto bins = spectrum(x);
    double total = 0.0;
    double outside = 0.0;
    for (std::size_t k = 1; k < bins.size(); ++k) {
        const double f = static_cast<double>(k) * rate / static_cast<double>(x.size());
        const double p = std::norm(bins[k]);
        total += p;
        const bool spurious =
            c.shape == WaveShape::Sine ? (f < c.low / 1.5 || f > c.high * 1.5) : f > kHarmonicLimit;
        if (spurious) {
            outside += p;
        }
    }
    m.spuriousDb = dB(outside / total);

    // The fundamental alone: a triangle's third harmonic starts at 1.5 times
    // the top of a one-octave band.
    const auto z = analyticBand(x, rate, c.low / 1.5, c.high * 1.4);
    const auto f = instantaneousFrequency(z, rate, static_cast<int>(rate / 100.0));
    const auto [lo, hi] = std::minmax_element(f.begin(), f.end());
    m.sweepMin = *lo;
    m.sweepMax = *hi;
    const double middle = std::sqrt(c.low * c.high);
    for (std::size_t i = 0; i < f.size(); ++i) {
        if ((f[i] < middle) != (f[(i + 1) % f.size()] < middle)) {
            ++m.sweepCrossings;
        }
    }
}

} // namespace

ToneMeasures measure(const ToneFileCase& c, std::span<const std::int16_t> samples, double rate) {
    ToneMeasures m;
    m.frames = static_cast<std::int64_t>(samples.size());
    if (samples.size() < 16) {
        return m;
    }
    int peak = 0;
    for (const std::int16_t s : samples) {
        peak = std::max(peak, std::abs(static_cast<int>(s)));
    }
    m.peakDbfs = 20.0 * std::log10(std::max(peak, 1) / 32768.0);
    m.seamStep = std::abs(samples.front() - samples.back());
    for (std::size_t i = 0; i + 1 < samples.size(); ++i) {
        m.largestInnerStep = std::max(m.largestInnerStep,
                                      static_cast<double>(std::abs(samples[i + 1] - samples[i])));
    }
    const std::vector<double> x(samples.begin(), samples.end());
    if (c.isSweep()) {
        measureSweep(c, x, rate, m);
    } else {
        measureFixed(c, x, rate, m);
    }
    return m;
}

} // namespace vemba::toneanalysis
