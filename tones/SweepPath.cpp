#include "SweepPath.h"

#include <cmath>
#include <numbers>
#include <stdexcept>

namespace vemba::tones {

namespace {

// Modified Bessel function of the first kind by its power series; written out
// so that the result does not depend on the standard library's version.
double besselI(int order, double x) {
    const double half = x / 2.0;
    double term = 1.0;
    for (int i = 1; i <= order; ++i) {
        term *= half / i;
    }
    double sum = 0.0;
    for (int m = 0; m < 60 && term > 1e-20 * sum; ++m) {
        sum += term;
        term *= half * half / ((m + 1.0) * (m + 1.0 + order));
    }
    return sum;
}

} // namespace

SweepPath::SweepPath(double low, double high, int sampleRate, double nominalSeconds)
    : m_sampleRate(sampleRate), m_low(low), m_depth(std::log(high / low) / 2.0) {
    if (!(low > 0.0) || !(high > low) || sampleRate <= 0 || !(nominalSeconds > 0.0)) {
        throw std::invalid_argument("sweep needs 0 < low < high and a positive length");
    }
    // f(u) = low * e^(depth * (1 - cos u)) over one loop u = 0..2pi. Its mean
    // is low * e^depth * I0(depth), so the phase grows by that many cycles a
    // second plus a periodic part whose Fourier terms are Bessel functions.
    const double i0 = besselI(0, m_depth);
    const double mean = low * std::exp(m_depth) * i0;
    m_cycles = std::max<std::int64_t>(1, std::llround(mean * nominalSeconds));
    m_frames = std::llround(static_cast<double>(m_cycles) * sampleRate / mean);
    m_scale = static_cast<double>(m_cycles) * sampleRate / (mean * static_cast<double>(m_frames));
    for (int k = 1; k <= kTerms; ++k) {
        const double sign = (k % 2 == 0) ? 1.0 : -1.0;
        m_terms[k - 1] = sign * static_cast<double>(m_cycles) * besselI(k, m_depth) /
                         (std::numbers::pi * i0 * k);
    }
}

double SweepPath::frequencyAt(double frame) const {
    const double u = 2.0 * std::numbers::pi * frame / static_cast<double>(m_frames);
    return m_scale * m_low * std::exp(m_depth * (1.0 - std::cos(u)));
}

double SweepPath::phaseAt(std::int64_t frame) const {
    std::int64_t inLoop = frame % m_frames;
    if (inLoop < 0) {
        inLoop += m_frames;
    }
    // The linear part in exact integers, so that a loop holds whole cycles.
    const double linear =
        static_cast<double>((m_cycles * inLoop) % m_frames) / static_cast<double>(m_frames);
    const double u =
        2.0 * std::numbers::pi * static_cast<double>(inLoop) / static_cast<double>(m_frames);
    const double c = std::cos(u);
    const double s = std::sin(u);
    double sinK = s;
    double cosK = c;
    double periodic = 0.0;
    for (int k = 0; k < kTerms; ++k) {
        periodic += m_terms[k] * sinK;
        const double next = sinK * c + cosK * s;
        cosK = cosK * c - sinK * s;
        sinK = next;
    }
    const double phase = linear + periodic;
    return phase - std::floor(phase);
}

} // namespace vemba::tones
