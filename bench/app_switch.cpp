// How quickly the switch acts: from a click on "ON" to the first block with
// sound handed to the output stream, and from a click on "OFF" to the first
// silent block. Runs the real window and audio layer against a private
// PulseAudio server with a null sink.

#include "FormStyle.h"
#include "ProgramWindow.h"
#include "SdlAudioLayer.h"
#include "SdlOutput.h"
#include "SoundProbe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QTest>
#include <atomic>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cstdio>

namespace {

using Clock = std::chrono::steady_clock;

std::atomic<std::int64_t> g_firstSound{0};
std::atomic<std::int64_t> g_firstSilence{0};
std::atomic<bool> g_expectSound{false};

std::int64_t now() {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(Clock::now().time_since_epoch())
        .count();
}

// On the audio thread: stamps the first block of the awaited kind.
void tap(const float* samples, int frames) {
    bool silent = true;
    for (int i = 0; i < 2 * frames && silent; ++i) {
        silent = samples[i] == 0.0F;
    }
    std::atomic<std::int64_t>& stamp = g_expectSound.load() ? g_firstSound : g_firstSilence;
    const bool wanted = g_expectSound.load() ? !silent : silent;
    std::int64_t none = 0;
    if (wanted) {
        stamp.compare_exchange_strong(none, now());
    }
}

// Turns the event loop until the stamp is set; false after two seconds.
bool await(const std::atomic<std::int64_t>& stamp) {
    QElapsedTimer limit;
    limit.start();
    while (stamp.load() == 0) {
        if (limit.elapsed() > 2000) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
    return true;
}

vemba::Form1* g_form = nullptr;

// Clicks "ON" (member 0) or "OFF" (member 1) and waits for the first block
// of sound or of silence; the time from the click to it, or -1 on time-out.
double switchTo(int member) {
    const bool on = member == 0;
    std::atomic<std::int64_t>& stamp = on ? g_firstSound : g_firstSilence;
    g_expectSound = on;
    stamp = 0;
    const std::int64_t start = now();
    QTest::mouseClick(g_form->optMediaMode(member), Qt::LeftButton);
    return await(stamp) ? static_cast<double>(stamp - start) * 1e-9 : -1.0;
}

// Measures one direction of the switch; the other one sets the scene. The
// pauses let the stream settle: it closes while OFF.
void measureSwitch(benchmark::State& state, int measured) {
    for (auto _ : state) {
        switchTo(1 - measured);
        QTest::qWait(100);
        const double seconds = switchTo(measured);
        if (seconds < 0) {
            state.SkipWithError("the switch did not act within 2 s");
            break;
        }
        state.SetIterationTime(seconds);
    }
    switchTo(1);
    QTest::qWait(100);
}

void onToFirstSound(benchmark::State& state) {
    measureSwitch(state, 0);
}

void offToSilence(benchmark::State& state) {
    measureSwitch(state, 1);
}

BENCHMARK(onToFirstSound)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);
BENCHMARK(offToSilence)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

} // namespace

int main(int argc, char** argv) {
    QTemporaryDir server;
    QTemporaryDir program;
    if (!vemba::probe::pulseFixture("start", server.path())) {
        std::fprintf(stderr, "could not start the PulseAudio server\n");
        return 1;
    }
    qputenv("PULSE_SERVER", "unix:" + server.filePath(QStringLiteral("native")).toUtf8());
    qputenv("SDL_AUDIODRIVER", "pulseaudio");
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    const QDir tones(QStringLiteral(VEMBA_PROGRAM_DIR));
    for (const QString& name : tones.entryList({QStringLiteral("*.wav")})) {
        QFile::copy(tones.filePath(name), program.filePath(name));
    }

    int status = 0;
    {
        QApplication app(argc, argv);
        // A null sink paces its clients only while something records it.
        vemba::probe::SinkRecorder recorder;
        QString error;
        if (!recorder.start(&error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            status = 1;
        } else {
            vemba::installFormAppearance();
            vemba::audio::SdlAudioLayer layer;
            vemba::ProgramWindow window({program.path(), &layer});
            window.errors().setShowsMessageBoxes(false);
            window.form().show();
            g_form = &window.form();
            vemba::audio::setOutputTap(&tap);

            // One round before measuring: the first start pays for connecting
            // the recorder and the server's first stream, which no later click does.
            switchTo(0);
            switchTo(1);
            QTest::qWait(100);

            benchmark::Initialize(&argc, argv);
            benchmark::RunSpecifiedBenchmarks();
            benchmark::Shutdown();
            vemba::audio::setOutputTap(nullptr);
        }
    }
    vemba::probe::pulseFixture("stop", server.path());
    return status;
}
