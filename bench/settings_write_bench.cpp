// Latency of one settings write, the fsync of the file and of its directory
// included, and of one read, on the file the program keeps.

#include "iniEdit.h"

#include <QFile>
#include <QTemporaryDir>
#include <benchmark/benchmark.h>

namespace {

using namespace vemba;

// The program's ten entries, plus `extraLines` of hand-written notes.
QTemporaryDir* programDir(int extraLines) {
    auto* dir = new QTemporaryDir;
    QByteArray text = "[Position]\nTop=1500\nLeft=-120\n[Sound1]\nActive=1\nFreq=2\n"
                      "[Sound2]\nActive=0\nFreq=1\n[Sound3]\nActive=1\nFreq=4\n"
                      "[WaveForm]\nForm=0\n[Volume]\nV=7\n[Notes]\n";
    for (int i = 0; i < extraLines; ++i) {
        text += "Note" + QByteArray::number(i) + "=some text someone typed by hand\n";
    }
    QFile f(iniEdit::SettingsPath(dir->path()));
    if (f.open(QIODevice::WriteOnly)) {
        f.write(text);
    }
    return dir;
}

void writeSettingLatency(benchmark::State& state) {
    std::unique_ptr<QTemporaryDir> dir(programDir(int(state.range(0))));
    int value = 0;
    for (auto _ : state) {
        const auto result =
            iniEdit::WriteSetting(dir->path(), "Volume", "V", QString::number(value++ % 11));
        if (!result.ok) {
            state.SkipWithError(result.reason.toStdString().c_str());
        }
    }
}
BENCHMARK(writeSettingLatency)
    ->Arg(0)
    ->Arg(1000)
    ->Arg(10000)
    ->UseRealTime()
    ->Unit(benchmark::kMillisecond);

void readSettingLatency(benchmark::State& state) {
    std::unique_ptr<QTemporaryDir> dir(programDir(int(state.range(0))));
    for (auto _ : state) {
        benchmark::DoNotOptimize(iniEdit::ReadSetting(dir->path(), "Volume", "V"));
    }
}
BENCHMARK(readSettingLatency)->Arg(0)->Arg(10000)->Unit(benchmark::kMicrosecond);

} // namespace

BENCHMARK_MAIN();
