#include "ToneFile.h"

#include <benchmark/benchmark.h>
#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

using vemba::ToneCatalogue;
using vemba::WaveShape;

void wholeToneSet(benchmark::State& state) {
    std::string pattern =
        (std::filesystem::temp_directory_path() / "vemba-tones-bench-XXXXXX").string();
    if (mkdtemp(pattern.data()) == nullptr) {
        state.SkipWithError("cannot create a temporary directory");
        return;
    }
    for (auto _ : state) {
        const auto errors = vemba::tones::writeToneSet(pattern);
        if (!errors.empty()) {
            state.SkipWithError(errors.front().c_str());
            break;
        }
    }
    std::filesystem::remove_all(pattern);
}
BENCHMARK(wholeToneSet)->Unit(benchmark::kMillisecond);

// One file's synthesis, scaling and dither, without the disk: argument is the
// catalogue row times two plus the shape.
void synthesiseFile(benchmark::State& state) {
    const auto& row = ToneCatalogue::rows()[static_cast<std::size_t>(state.range(0) / 2)];
    const auto shape = state.range(0) % 2 == 0 ? WaveShape::Sine : WaveShape::Triangle;
    const auto name = ToneCatalogue::fileName(row.channel, row.variant, shape);
    state.SetLabel(std::string(name));
    std::int64_t frames = 0;
    for (auto _ : state) {
        const auto signal = vemba::tones::ToneSignal::forRow(row.channel, row.variant, shape);
        const auto samples = vemba::tones::toneFileSamples(signal, name);
        benchmark::DoNotOptimize(samples.data());
        frames += static_cast<std::int64_t>(samples.size());
    }
    state.counters["frames/s"] =
        benchmark::Counter(static_cast<double>(frames), benchmark::Counter::kIsRate);
}
BENCHMARK(synthesiseFile)->DenseRange(0, 29)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
