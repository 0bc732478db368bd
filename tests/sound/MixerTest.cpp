#include "Mixer.h"

#include "TestSignals.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <thread>

using namespace vemba::audio;
using namespace vemba::testing;

namespace {

constexpr std::size_t R = Mixer::kRampFrames;

std::shared_ptr<SampleData> dataOf(std::vector<float> samples) {
    return std::make_shared<SampleData>(SampleData{std::move(samples)});
}

// Renders `frames` frames in blocks of `block`, as a device callback would.
std::vector<float> render(Mixer& m, std::size_t frames, std::size_t block = 512) {
    std::vector<float> out(frames * 2);
    for (std::size_t at = 0; at < frames; at += block) {
        m.render(out.data() + 2 * at, int(std::min(block, frames - at)));
    }
    return out;
}

// Largest change between neighbouring frames.
double largestStep(const std::vector<float>& s) {
    double step = 0.0;
    for (std::size_t i = 2; i < s.size(); ++i) {
        step = std::max(step, double(std::fabs(s[i] - s[i - 2])));
    }
    return step;
}

// Samples from frame `fromFrame` on where `out` is not the sound looped from
// `start` at `gain`, clamped to full scale.
std::size_t mismatches(const std::vector<float>& out, std::size_t fromFrame,
                       const std::vector<float>& sound, std::size_t start, float gain = 1.0f) {
    std::size_t bad = 0;
    for (std::size_t i = 2 * fromFrame; i < out.size(); ++i) {
        const std::size_t src = (2 * start + i) % sound.size();
        bad += std::fabs(out[i] - std::clamp(gain * sound[src], -1.0f, 1.0f)) > 1e-6f;
    }
    return bad;
}

// A voice of `data`, playing from the next render.
int playing(Mixer& m, std::shared_ptr<SampleData> data) {
    const int v = m.addVoice(std::move(data));
    m.play(v);
    m.commit();
    return v;
}

} // namespace

// Three voices of the same noise in phase: the sum is exact where it fits and
// clamped where not, never wrapped.
TEST(Mixer, LoopsRepeatSampleExactAfterTheStartRampMixedInFloatAndClamped) {
    // Sounds shorter and longer than the ramp and the block, blocks that do not divide them.
    const std::size_t cases[][2] = {{1, 64}, {3, 1}, {479, 1024}, {4801, 1024}};
    for (const auto& [length, block] : cases) {
        SCOPED_TRACE(::testing::Message() << "length " << length << ", block " << block);
        const std::vector<float> sound = stereoNoise(length, 0.9f);
        Mixer m;
        for (int i = 0; i < 3; ++i) {
            playing(m, dataOf(sound));
        }
        EXPECT_EQ(mismatches(render(m, R + 3 * length + 7, block), R, sound, 0, 3.0f), 0u);
    }
}

// Judged on DC and 20 Hz, where a cut shows as a step. A restart (stop,
// rewind and play in one commit, as the engine does) fades the old sound out
// while the new one fades in; a voice released before it was heard is never
// heard; a volume set with Play applies at once, never louder for a moment.
TEST(Mixer, ChangesAreRampedStopsFallSilentPlayGoesOnWhereLeftAtTheVolumeSet) {
    enum : unsigned { None = 0, Stop = 1, Rewind = 2, Play = 4, Release = 8, Quieter = 16 };
    const auto change = [](Mixer& m, int v, unsigned steps) {
        if ((steps & Stop) != 0) {
            m.stop(v);
        }
        if ((steps & Rewind) != 0) {
            m.setPosition(v, 0);
        }
        if ((steps & Play) != 0) {
            m.play(v);
        }
        if ((steps & Release) != 0) {
            m.release(v);
        }
        m.setVolume(v, (steps & Quieter) != 0 ? -2000 : 0); // -20 dB, a tenth
        m.commit();
    };
    constexpr long kPlayed = 1234, kSilent = -1;
    // Frames heard before, the change, another one 100 frames later, where the sound goes on.
    const std::tuple<long, unsigned, unsigned, long> cases[] = {
        {kPlayed, Stop, None, kSilent},           {kPlayed, Release, None, kSilent},
        {kPlayed, Stop, Release, kSilent},        {0, Release, None, kSilent},
        {kPlayed, Stop | Rewind, Play, 0},        {kPlayed, Stop, Play, kPlayed},
        {kPlayed, Stop | Rewind | Play, None, 0}, {0, Quieter, None, 0},
        {kPlayed, Quieter, None, kPlayed}};
    for (const auto& sound : {std::vector<float>(9600, 0.5f), stereoSine(4800, 20.0, 0.5)}) {
        for (const auto& [before, first, later, from] : cases) {
            SCOPED_TRACE(::testing::Message() << sound[2] << ", changes " << first << " " << later);
            const float gain = (first & Quieter) != 0 ? std::pow(10.0f, -2000 / 2000.0f) : 1.0f;
            Mixer m;
            const int v = playing(m, dataOf(sound));
            std::vector<float> out = render(m, std::size_t(before), 617);
            change(m, v, first);
            const std::vector<float> between = render(m, later != None ? 100 : 0);
            change(m, v, later | (first & Quieter));
            const std::vector<float> after = render(m, R + 3000, 256);
            const float level = from == kSilent ? 0.0f : gain;
            EXPECT_EQ(mismatches(after, R, sound, std::size_t(std::max(from, 0l)), level), 0u);
            EXPECT_LE(
                *std::max_element(after.begin() + (before > 0 ? 2 * long(R) : 0), after.end()),
                0.5f * level * 1.0001f)
                << "louder than set";
            out.insert(out.end(), between.begin(), between.end());
            out.insert(out.end(), after.begin(), after.end());
            EXPECT_LT(largestStep(out), 0.005) << "click";
        }
    }
}

// Quick reloads: a voice made and released between two commits never reaches
// the render side, so its slot is free again at once, however many come.
TEST(Mixer, AVoiceReleasedBeforeAnyCommitFreesItsSlotAtOnce) {
    Mixer m;
    for (int round = 0; round < 300; ++round) {
        const int v = m.addVoice(dataOf(stereoNoise(1000, 0.5f, 3)));
        ASSERT_GE(v, 0) << "round " << round;
        m.release(v);
    }
}

// A GUI-side thread plays, stops, rewinds, changes and releases voices while
// another renders, as the device callback does. ThreadSanitizer (the tsan
// preset) checks the hand-over; the test checks that every voice's data is
// freed in the end, however often its slot was reused.
TEST(MixerHammer, ControlAndRenderThreadsShareNothingButTheHandOver) {
    Mixer m;
    std::atomic<bool> done{false};
    std::thread renderer([&] {
        for (std::vector<float> block(2 * 256); !done.load();) {
            m.render(block.data(), 256);
        }
    });
    std::mt19937 random(7);
    std::vector<int> voices;
    std::vector<std::weak_ptr<SampleData>> everything;
    for (int round = 0; round < 20000; ++round) {
        // Up to 6 voices, now and then more; addVoice takes back slots the renderer let go of.
        if (voices.size() < 6 || random() % 50 == 0) {
            auto data = dataOf(stereoNoise(100 + random() % 2000, 0.9f, random()));
            everything.push_back(data);
            if (const int v = m.addVoice(std::move(data)); v >= 0) {
                voices.push_back(v);
            }
            continue;
        }
        const std::size_t pick = random() % voices.size();
        const int v = voices[pick];
        // Stop, seek, release, play at a volume, or stop, rewind and play as the engine does.
        const unsigned op = random() % 7;
        if (op == 0 || op == 4) {
            m.stop(v);
        }
        if (op == 1 || op == 4) {
            m.setPosition(v, op == 4 ? 0 : std::uint32_t(random()));
        }
        if (op == 2) {
            m.release(v);
            voices.erase(voices.begin() + std::ptrdiff_t(pick));
        }
        if (op == 3 || op == 4) {
            m.setVolume(v, -std::int32_t(random() % 10001));
            m.play(v);
        }
        if (op >= 5) {
            m.commit();
        }
    }
    for (int v : voices) {
        m.release(v);
    }
    m.commit();
    done = true;
    renderer.join();
    render(m, 3 * R); // past every fade, the renderer lets go of the released voices
    m.reclaim();
    for (const auto& w : everything) {
        ASSERT_TRUE(w.expired()) << "sample data never freed";
    }
}
