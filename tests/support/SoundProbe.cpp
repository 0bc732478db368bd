#include "SoundProbe.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <SDL.h>
#include <algorithm>
#include <cmath>
#include <complex>
#include <cstring>
#include <fftw3.h>
#include <functional>

namespace vemba::probe {

namespace {

constexpr std::size_t kFrameBytes = 2 * sizeof(float);

} // namespace

bool soundServer(const char* command) {
    const QString fixture = qEnvironmentVariable("VEMBA_SOUND_FIXTURE");
    return !fixture.isEmpty() &&
           QProcess::execute(fixture, {QString::fromLatin1(command),
                                       qEnvironmentVariable("VEMBA_SOUND_DIR")}) == 0;
}

bool onRequestedDriver(QString* error) {
    const char* current = SDL_GetCurrentAudioDriver();
    const QByteArray wanted = qgetenv("SDL_AUDIODRIVER");
    if (wanted == "pulseaudio" && current == nullptr) {
        QProcess pactl;
        pactl.start(QStringLiteral("pactl"),
                    {QStringLiteral("list"), QStringLiteral("sink-inputs")});
        pactl.waitForFinished(5000);
        if (QString::fromUtf8(pactl.readAllStandardOutput())
                .contains(QStringLiteral("application.name = \"ヴェンバPC\""))) {
            return true;
        }
        *error = QStringLiteral("no stream of the program's own on the server");
        return false;
    }
    if (current != nullptr && !wanted.isEmpty() && wanted == current) {
        return true;
    }
    *error = QStringLiteral("SDL_AUDIODRIVER=%1, SDL plays through %2")
                 .arg(QString::fromLatin1(wanted), current != nullptr ? QString::fromLatin1(current)
                                                                      : QStringLiteral("nothing"));
    return false;
}

SinkRecorder::~SinkRecorder() {
    stop();
}

bool SinkRecorder::start(QString* error) {
    m_process.setProgram(QStringLiteral("parec"));
    // parec buffers two seconds by default and a killed parec loses them.
    m_process.setArguments({QStringLiteral("--latency-msec=20"),
                            QStringLiteral("--device=vemba_null.monitor"),
                            QStringLiteral("--format=float32le"), QStringLiteral("--rate=48000"),
                            QStringLiteral("--channels=2"), QStringLiteral("--raw")});
    m_process.start();
    if (!m_process.waitForStarted(5000)) {
        *error = QStringLiteral("parec did not start: ") + m_process.errorString();
        return false;
    }
    if (!recordFrames(kRate / 50, 5000)) {
        *error = QStringLiteral("parec gave no data: ") +
                 QString::fromLocal8Bit(m_process.readAllStandardError());
        return false;
    }
    return true;
}

void SinkRecorder::stop() {
    if (m_process.state() == QProcess::NotRunning) {
        return;
    }
    m_process.terminate();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
    take();
}

void SinkRecorder::take() {
    m_pending += m_process.readAllStandardOutput();
    const std::size_t whole = static_cast<std::size_t>(m_pending.size()) / kFrameBytes;
    if (whole == 0) {
        return;
    }
    const std::size_t at = m_samples.size();
    m_samples.resize(at + whole * 2);
    std::memcpy(m_samples.data() + at, m_pending.constData(), whole * kFrameBytes);
    m_pending.remove(0, static_cast<qsizetype>(whole * kFrameBytes));
}

bool SinkRecorder::recordFrames(std::size_t frames, int limitMs) {
    const std::size_t goal = this->frames() + frames;
    pump(limitMs, [&] { return this->frames() >= goal; });
    return this->frames() >= goal;
}

bool SinkRecorder::recordFor(int ms) {
    return pump(ms, [] { return false; });
}

bool SinkRecorder::pump(int limitMs, const std::function<bool()>& done) {
    QElapsedTimer clock;
    clock.start();
    while (!done() && clock.elapsed() < limitMs && m_process.state() == QProcess::Running) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        m_process.waitForReadyRead(5);
        take();
    }
    return m_process.state() == QProcess::Running;
}

std::vector<float> SinkRecorder::last(std::size_t frames, int ch) const {
    return channel(m_samples, ch, this->frames() - std::min(frames, this->frames()), frames);
}

float SinkRecorder::peakOfLast(std::size_t frames) const {
    float peak = 0.0F;
    for (const int ch : {0, 1}) {
        for (const float s : last(frames, ch)) {
            peak = std::max(peak, std::abs(s));
        }
    }
    return peak;
}

double levelAt(const std::vector<float>& mono, double frequency, int rate) {
    double re = 0.0;
    double im = 0.0;
    double windowSum = 0.0;
    for (std::size_t i = 0; i < mono.size(); ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * double(i) / double(mono.size()));
        const double phase = 2.0 * M_PI * frequency * double(i) / rate;
        re += w * mono[i] * std::cos(phase);
        im += w * mono[i] * std::sin(phase);
        windowSum += w;
    }
    return 20.0 * std::log10(2.0 * std::hypot(re, im) / windowSum + 1e-30);
}

std::vector<float> channel(const std::vector<float>& stereo, int ch, std::size_t from,
                           std::size_t count) {
    std::vector<float> out;
    const std::size_t frames = stereo.size() / 2;
    for (std::size_t f = from; f < from + count && f < frames; ++f) {
        out.push_back(stereo[2 * f + static_cast<std::size_t>(ch)]);
    }
    return out;
}

Tone dominantTone(const std::vector<float>& mono, int rate) {
    const std::size_t n = mono.size();
    std::vector<double> in(n);
    double windowPower = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        const double w = 0.5 - 0.5 * std::cos(2.0 * M_PI * double(i) / double(n));
        in[i] = w * mono[i];
        windowPower += w * w;
    }
    const int bins = int(n / 2 + 1);
    std::vector<std::complex<double>> spectrum(std::size_t(bins), 0.0);
    fftw_plan plan = fftw_plan_dft_r2c_1d(
        int(n), in.data(), reinterpret_cast<fftw_complex*>(spectrum.data()), FFTW_ESTIMATE);
    fftw_execute(plan);
    fftw_destroy_plan(plan);

    const auto louder = [](auto a, auto b) { return std::norm(a) < std::norm(b); };
    const auto peak = static_cast<int>(
        std::max_element(spectrum.begin() + 2, spectrum.end(), louder) - spectrum.begin());

    // The Hann main lobe spans two bins either side; four keeps it whole.
    double band = 0.0;
    for (int k = std::max(1, peak - 4); k <= std::min(bins - 1, peak + 4); ++k) {
        band += std::norm(spectrum[static_cast<std::size_t>(k)]);
    }
    Tone tone;
    tone.frequency = peak * rate / double(n);
    tone.levelDb = 10.0 * std::log10(4.0 * band / (double(n) * windowPower) + 1e-30);
    return tone;
}

} // namespace vemba::probe
