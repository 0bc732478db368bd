#include "ToneSignal.h"

#include "ToneFormat.h"
#include "Waveform.h"

#include <algorithm>
#include <cmath>
#include <numeric>
#include <stdexcept>

namespace vemba::tones {

namespace {

// Fixed files last the fewest whole seconds in which every tone completes
// whole periods: one second for whole-hertz tones.
constexpr int kMaxFixedSeconds = 8;

int secondsForWholePeriods(const std::vector<double>& tones) {
    for (int seconds = 1; seconds <= kMaxFixedSeconds; ++seconds) {
        const bool whole = std::all_of(tones.begin(), tones.end(), [&](double f) {
            const double periods = f * seconds;
            return std::abs(periods - std::round(periods)) < 1e-9;
        });
        if (whole) {
            return seconds;
        }
    }
    throw std::invalid_argument("tone frequencies cannot loop seamlessly in a few seconds");
}

} // namespace

ToneSignal ToneSignal::fixed(std::vector<double> tones, WaveShape shape) {
    if (tones.empty() || std::any_of(tones.begin(), tones.end(), [](double f) {
            return !(f > 0.0) || f >= kSampleRate / 2.0;
        })) {
        throw std::invalid_argument("tone frequencies must lie between 0 and half the rate");
    }
    ToneSignal signal(shape);
    const int seconds = secondsForWholePeriods(tones);
    signal.m_frames = static_cast<std::int64_t>(seconds) * kSampleRate;
    for (const double f : tones) {
        signal.m_voices.push_back({f, std::llround(f * seconds)});
    }
    signal.m_offsets.assign(signal.m_voices.size(), 0.0);
    if (signal.m_voices.size() > 1) {
        signal.chooseOffsets();
    }
    return signal;
}

ToneSignal ToneSignal::sweeping(double low, double high, WaveShape shape) {
    ToneSignal signal(shape);
    signal.m_sweep.emplace(low, high, kSampleRate, kSweepSeconds);
    signal.m_frames = signal.m_sweep->frames();
    return signal;
}

ToneSignal ToneSignal::forRow(int channel, int variant, WaveShape shape) {
    const std::array<double, 3> band = ToneCatalogue::bandTones(channel);
    if (band[0] <= 0.0 || variant < 0 || variant >= kVariantCount) {
        throw std::invalid_argument("no such tone in the catalogue");
    }
    if (variant == static_cast<int>(ToneVariant::Sweep)) {
        return sweeping(band[0], band[2], shape);
    }
    if (variant == static_cast<int>(ToneVariant::Superimposed)) {
        return fixed(std::vector<double>(band.begin(), band.end()), shape);
    }
    return fixed({band[static_cast<std::size_t>(variant)]}, shape);
}

// Equal tones in phase pile up into tall peaks; since every file is scaled to
// the same peak, a lower crest factor makes the file louder. The tones share a
// common period, so the peak is searched over one such period: a coarse grid
// of start phases first, then a finer local search. Triangles are judged by
// their first few harmonics, which carry nearly all of their peak.
void ToneSignal::chooseOffsets() {
    constexpr int kPoints = 256;
    constexpr int kGrid = 32;
    constexpr int kHarmonics = 9;
    const std::int64_t common = commonRepeats();
    const std::size_t count = m_voices.size();
    const auto peak = [&](const std::vector<double>& offsets) {
        double worst = 0.0;
        for (int i = 0; i < kPoints; ++i) {
            const double t = static_cast<double>(i) / kPoints;
            double sum = 0.0;
            for (std::size_t v = 0; v < count; ++v) {
                const double ratio = static_cast<double>(m_voices[v].cyclesPerLoop / common);
                sum +=
                    waveValue(m_shape, ratio * t + offsets[v], m_voices[v].frequency, kHarmonics);
            }
            worst = std::max(worst, std::abs(sum));
        }
        return worst;
    };

    // The first tone's phase only shifts the whole wave in time; it stays 0.
    std::vector<double> best(count, 0.0);
    double bestPeak = peak(best);
    std::vector<double> trial(count, 0.0);
    const auto grid = [&](auto& self, std::size_t voice) -> void {
        if (voice == count) {
            const double p = peak(trial);
            if (p < bestPeak - 1e-12) {
                bestPeak = p;
                best = trial;
            }
            return;
        }
        for (int g = 0; g < kGrid; ++g) {
            trial[voice] = static_cast<double>(g) / kGrid;
            self(self, voice + 1);
        }
    };
    grid(grid, 1);

    for (double step = 0.5 / kGrid; step > 1e-4; step /= 2.0) {
        bool improved = true;
        while (improved) {
            improved = false;
            for (std::size_t v = 1; v < count; ++v) {
                for (const double delta : {-step, step}) {
                    trial = best;
                    trial[v] += delta;
                    const double p = peak(trial);
                    if (p < bestPeak - 1e-12) {
                        bestPeak = p;
                        best = trial;
                        improved = true;
                    }
                }
            }
        }
    }
    for (double& offset : best) {
        offset -= std::floor(offset);
    }
    m_offsets = best;
}

double ToneSignal::fixedValue(std::int64_t frame) const {
    std::int64_t inLoop = frame % m_frames;
    if (inLoop < 0) {
        inLoop += m_frames;
    }
    double sum = 0.0;
    for (std::size_t v = 0; v < m_voices.size(); ++v) {
        const Voice& voice = m_voices[v];
        // Exact integer phase: the loop closes on whole periods.
        const double phase = static_cast<double>((voice.cyclesPerLoop * inLoop) % m_frames) /
                                 static_cast<double>(m_frames) +
                             m_offsets[v];
        sum += waveValue(m_shape, phase, voice.frequency);
    }
    return sum;
}

std::int64_t ToneSignal::commonRepeats() const {
    std::int64_t common = 0;
    for (const Voice& v : m_voices) {
        common = std::gcd(common, v.cyclesPerLoop);
    }
    return common;
}

std::int64_t ToneSignal::fixedPeriod() const {
    const std::int64_t common = commonRepeats();
    return common > 0 && m_frames % common == 0 ? m_frames / common : m_frames;
}

void ToneSignal::render(std::int64_t first, std::span<double> out) const {
    if (m_sweep) {
        for (std::size_t i = 0; i < out.size(); ++i) {
            const std::int64_t frame = first + static_cast<std::int64_t>(i);
            out[i] = waveValue(m_shape, m_sweep->phaseAt(frame),
                               m_sweep->frequencyAt(static_cast<double>(frame)));
        }
        return;
    }
    // Fixed tones repeat after a whole number of frames (a 20 Hz tone every
    // 2400): a long stretch computes one such period and repeats it, which
    // gives the same values, since the phase is exact in integers.
    const std::int64_t period = fixedPeriod();
    if (static_cast<std::int64_t>(out.size()) <= period) {
        for (std::size_t i = 0; i < out.size(); ++i) {
            out[i] = fixedValue(first + static_cast<std::int64_t>(i));
        }
        return;
    }
    std::vector<double> once(static_cast<std::size_t>(period));
    for (std::int64_t i = 0; i < period; ++i) {
        once[static_cast<std::size_t>(i)] = fixedValue(first + i);
    }
    for (std::size_t i = 0; i < out.size(); ++i) {
        out[i] = once[i % once.size()];
    }
}

} // namespace vemba::tones
