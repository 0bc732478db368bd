// The real window and audio layer against a private PulseAudio server with
// a null sink (PULSE_SERVER, or one started here), in two ways:
//
// app_switch_bench [benchmark flags]
//   How soon a click is heard: from a click on "ON", on "OFF" or on the
//   volume slider to the change in what the sink's monitor records. Only the
//   7.5 kHz channel plays, whose envelope is steady within 2.5 ms.
//
// app_switch_bench --hold
//   Plays all three channels (30 Hz, 450 Hz, 7.5 kHz) as the user would,
//   for another program to measure: reads "on", "off" and "quit" lines on
//   stdin, clicks accordingly and answers each with a line on stdout.

#include "FormStyle.h"
#include "ModuleAudioLayer.h"
#include "ProgramWindow.h"
#include "SoundProbe.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QProcess>
#include <QSlider>
#include <QSocketNotifier>
#include <QTemporaryDir>
#include <QTest>
#include <algorithm>
#include <benchmark/benchmark.h>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <iostream>
#include <string>
#include <unistd.h>

namespace {

using Clock = std::chrono::steady_clock;
using vemba::probe::kRate;

vemba::Form1* g_form = nullptr;
vemba::probe::SinkRecorder* g_recorder = nullptr;

// Runs tests/support/pulse-fixture: `command` "start" or "stop" the private
// server whose socket lies in `dir`. False when the script fails.
bool pulseFixture(const char* command, const QString& dir) {
    return QProcess::execute(QStringLiteral(VEMBA_PULSE_FIXTURE),
                             {QString::fromLatin1(command), dir}) == 0;
}

double now() {
    return std::chrono::duration<double>(Clock::now().time_since_epoch()).count();
}

// Frames per envelope window: 2.5 ms, some 19 periods of 7.5 kHz.
constexpr std::size_t kWindow = kRate / 400;

// The recording from `from` on, as the loudest sample of each window.
std::vector<double> envelope(std::size_t from, std::size_t to) {
    const std::vector<float>& s = g_recorder->samples();
    std::vector<double> out;
    for (std::size_t w = from; w + kWindow <= to; w += kWindow) {
        double peak = 0.0;
        for (std::size_t f = w; f < w + kWindow; ++f) {
            peak = std::max(peak, static_cast<double>(std::abs(s[2 * f])));
        }
        out.push_back(peak);
    }
    return out;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0.0 : v[v.size() / 2];
}

// Does `act`, records 700 ms more and returns the seconds from `act` to the
// arrival of the first recorded window whose level is halfway from the old
// level to the new one, or -1 when it never gets there. The null sink renders
// in bursts, so a frame's own moment is unknown: taking its batch's arrival
// counts parec's buffering against us.
double heardAfter(const std::function<void()>& act) {
    g_recorder->recordFrames(kRate / 10);
    const std::size_t clickFrame = g_recorder->frames();
    const double clickTime = now();
    act();
    std::vector<std::pair<std::size_t, double>> arrivals;
    while (g_recorder->frames() < clickFrame + kRate * 7 / 10) {
        if (!g_recorder->recordFrames(1, 2000)) {
            return -1.0;
        }
        arrivals.emplace_back(g_recorder->frames(), now());
    }
    const double before = median(envelope(clickFrame - kRate / 10, clickFrame));
    const double after = median(envelope(g_recorder->frames() - kRate / 10, g_recorder->frames()));
    const std::vector<double> env = envelope(clickFrame, g_recorder->frames());
    if (std::abs(after - before) < 1e-3) {
        return -1.0;
    }
    for (std::size_t w = 0; w < env.size(); ++w) {
        if (std::abs(env[w] - before) > 0.5 * std::abs(after - before)) {
            const std::size_t frame = clickFrame + w * kWindow;
            const auto batch =
                std::find_if(arrivals.begin(), arrivals.end(),
                             [frame](const auto& arrival) { return arrival.first > frame; });
            return batch->second - clickTime;
        }
    }
    return -1.0;
}

void click(int member) {
    QTest::mouseClick(g_form->optMediaMode(member), Qt::LeftButton);
}

void report(benchmark::State& state, double seconds) {
    if (seconds < 0) {
        state.SkipWithError("the change was not heard");
        return;
    }
    state.SetIterationTime(seconds);
}

// Each click starts from a state a user would have left for a while: OFF
// long enough for the stream to have closed, or ON and sounding.
void clickOn(benchmark::State& state) {
    for (auto _ : state) {
        click(1);
        QTest::qWait(800);
        report(state, heardAfter([] { click(0); }));
    }
}

void clickOff(benchmark::State& state) {
    for (auto _ : state) {
        click(0);
        QTest::qWait(500);
        report(state, heardAfter([] { click(1); }));
    }
}

void volumeStep(benchmark::State& state) {
    click(0);
    QTest::qWait(500);
    bool down = true;
    for (auto _ : state) {
        report(state, heardAfter([down] {
                   QTest::keyClick(g_form->Slider1(), down ? Qt::Key_Left : Qt::Key_Right);
               }));
        down = !down;
    }
}

double worst(const std::vector<double>& v) {
    return *std::max_element(v.begin(), v.end());
}

void registerLatencies() {
    const std::pair<const char*, void (*)(benchmark::State&)> cases[] = {
        {"heard/ON", clickOn}, {"heard/OFF", clickOff}, {"heard/volume_step", volumeStep}};
    for (const auto& [name, function] : cases) {
        benchmark::RegisterBenchmark(name, function)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->Repetitions(15)
            ->ComputeStatistics("max", worst)
            ->ReportAggregatesOnly(true);
    }
}

// Answers stdin's commands until "quit" or its end.
int hold() {
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, [&] {
        std::string line;
        if (!std::getline(std::cin, line) || line == "quit") {
            input.setEnabled(false);
            QApplication::quit();
            return;
        }
        if (line == "on" || line == "off") {
            click(line == "on" ? 0 : 1);
        }
        std::cout << line << std::endl;
    });
    std::cout << "ready" << std::endl;
    return QApplication::exec();
}

} // namespace

int main(int argc, char** argv) {
    const bool holding = argc > 1 && std::strcmp(argv[1], "--hold") == 0;
    QTemporaryDir server;
    QTemporaryDir program;
    const bool ownServer = qEnvironmentVariableIsEmpty("PULSE_SERVER");
    if (ownServer) {
        if (!pulseFixture("start", server.path())) {
            std::fprintf(stderr, "could not start the PulseAudio server\n");
            return 1;
        }
        qputenv("PULSE_SERVER", "unix:" + server.filePath(QStringLiteral("native")).toUtf8());
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }

    const QDir tones(QStringLiteral(VEMBA_PROGRAM_DIR));
    for (const QString& name : tones.entryList({QStringLiteral("*.wav")})) {
        QFile::copy(tones.filePath(name), program.filePath(name));
    }
    QFile ini(program.filePath(QStringLiteral("setting.ini")));
    if (ini.open(QIODevice::WriteOnly)) {
        const QByteArray others = holding ? "1" : "0";
        ini.write("[Sound1]\nActive=" + others + "\nFreq=1\n[Sound2]\nActive=1\nFreq=1\n" +
                  "[Sound3]\nActive=" + others + "\nFreq=1\n[WaveForm]\nForm=0\n[Volume]\nV=5\n");
        ini.close();
    }

    int status = 0;
    {
        QApplication app(argc, argv);
        vemba::installFormAppearance();
        vemba::audio::ModuleAudioLayer layer(QStringLiteral(VEMBA_PROGRAM_DIR));
        vemba::ProgramWindow window({program.path(), &layer});
        window.errors().setShowsMessageBoxes(false);
        window.form().show();
        g_form = &window.form();
        if (holding) {
            status = hold();
        } else {
            vemba::probe::SinkRecorder recorder;
            QString error;
            if (!recorder.start(&error)) {
                std::fprintf(stderr, "%s\n", qPrintable(error));
                status = 1;
            } else {
                g_recorder = &recorder;
                // One round before measuring: the first start pays for the
                // server's first stream, which no later click does.
                click(0);
                recorder.recordFrames(kRate / 2);
                click(1);
                registerLatencies();
                benchmark::Initialize(&argc, argv);
                benchmark::RunSpecifiedBenchmarks();
                benchmark::Shutdown();
                click(1);
            }
        }
    }
    if (ownServer) {
        pulseFixture("stop", server.path());
    }
    return status;
}
