#include "Mixer.h"

#include <benchmark/benchmark.h>
#include <cmath>
#include <memory>

using vemba::audio::Mixer;
using vemba::audio::SampleData;

namespace {

constexpr int kBlock = 1024; // frames per device callback

std::shared_ptr<SampleData> tone(double frequency, int frames) {
    auto data = std::make_shared<SampleData>();
    data->samples.resize(2 * static_cast<std::size_t>(frames));
    for (int i = 0; i < frames; ++i) {
        const auto s = static_cast<float>(0.33 * std::sin(2.0 * M_PI * frequency * i / 48000.0));
        data->samples[2 * static_cast<std::size_t>(i)] = s;
        data->samples[2 * static_cast<std::size_t>(i) + 1] = s;
    }
    return data;
}

// Three looping buffers of different lengths, as the three channels play.
// Arg 0: steady levels; arg 1: a volume change every callback, so that every
// block runs through the ramp path.
void mixThreeLoops(benchmark::State& state) {
    Mixer mixer;
    int voices[3] = {mixer.addVoice(tone(20.0, 48000)), mixer.addVoice(tone(7500.0, 44100)),
                     mixer.addVoice(tone(450.0, 96000))};
    for (int v : voices) {
        mixer.play(v);
    }
    mixer.commit();
    std::vector<float> out(2 * kBlock);
    const bool ramping = state.range(0) != 0;
    std::int32_t volume = 0;
    for (auto _ : state) {
        if (ramping) {
            volume = volume == 0 ? -602 : 0;
            for (int v : voices) {
                mixer.setVolume(v, volume);
            }
            mixer.commit();
        }
        mixer.render(out.data(), kBlock);
        benchmark::DoNotOptimize(out.data());
        benchmark::ClobberMemory();
    }
    const double frames = static_cast<double>(state.iterations()) * kBlock;
    // Seconds of work per output frame (shown in ns), and per second of sound.
    state.counters["per_frame"] =
        benchmark::Counter(frames, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
    state.counters["realtime_share"] = benchmark::Counter(
        frames / Mixer::kSampleRate, benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}
BENCHMARK(mixThreeLoops)->Arg(0)->Arg(1);

} // namespace

BENCHMARK_MAIN();
