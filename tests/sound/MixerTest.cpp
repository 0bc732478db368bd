#include "Mixer.h"

#include "TestSignals.h"

#include <algorithm>
#include <atomic>
#include <gtest/gtest.h>
#include <numeric>
#include <random>
#include <thread>

using vemba::audio::Mixer;
using vemba::audio::SampleData;
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

double peak(const std::vector<float>& s, std::size_t fromFrame = 0) {
    return std::accumulate(s.begin() + std::ptrdiff_t(2 * fromFrame), s.end(), 0.0,
                           [](double p, float x) { return std::max(p, double(std::fabs(x))); });
}

// Largest change between neighbouring frames, starting from the last frame of `before`.
double largestStep(const std::vector<float>& before, std::vector<float> s) {
    s.insert(s.begin(), before.end() - 2, before.end());
    double step = 0.0;
    for (std::size_t i = 2; i < s.size(); ++i) {
        step = std::max(step, double(std::fabs(s[i] - s[i - 2])));
    }
    return step;
}

// Frames from `fromFrame` on where `out` differs bit for bit from the sound looped from `start`.
std::size_t mismatches(const std::vector<float>& out, std::size_t fromFrame,
                       const std::vector<float>& sound, std::size_t start) {
    std::size_t bad = 0;
    for (std::size_t f = fromFrame; f < out.size() / 2; ++f) {
        const std::size_t src = (start + f) % (sound.size() / 2);
        bad += out[2 * f] != sound[2 * src] || out[2 * f + 1] != sound[2 * src + 1];
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

TEST(Mixer, LoopsRepeatTheSoundBitExactAfterTheStartRamp) {
    // Sounds shorter and longer than the ramp and the block, blocks that do not divide them.
    const std::size_t cases[][2] = {{1, 64}, {3, 1}, {479, 1024}, {1000, 333}, {4801, 1024}};
    for (const auto& [length, block] : cases) {
        SCOPED_TRACE(::testing::Message() << "length " << length << ", block " << block);
        const std::vector<float> sound = stereoNoise(length, 0.9f);
        Mixer m;
        playing(m, dataOf(sound));
        const std::vector<float> out = render(m, R + 3 * length + 7, block);
        EXPECT_EQ(mismatches(out, R, sound, 0), 0u);
    }
}

// Judged on 20 Hz, where a cut shows as a step: a restart (stop, rewind and
// play in one commit, as the engine does) fades the old sound out while the
// new one fades in.
TEST(Mixer, PlayStartsWhereStopAndRewindLeftTheSoundAndRestartsWithoutAStep) {
    const std::size_t playedBefore = 1234;
    const std::vector<float> sound = stereoSine(4800, 20.0, 0.5);
    for (auto [rewind, atOnce] : {std::pair{true, false}, {false, false}, {true, true}}) {
        SCOPED_TRACE(::testing::Message() << "rewind " << rewind << ", play at once " << atOnce);
        Mixer m;
        const int v = playing(m, dataOf(sound));
        std::vector<float> before = render(m, playedBefore, 617);
        m.stop(v);
        if (rewind) {
            m.setPosition(v, 0);
        }
        if (!atOnce) {
            m.commit();
            before = render(m, 2000);
            EXPECT_EQ(peak(before, R), 0.0) << "still sounding after the stop";
        }
        m.play(v);
        m.commit();
        const std::vector<float> out = render(m, R + 3000, 256);
        EXPECT_EQ(mismatches(out, R, sound, rewind ? 0 : playedBefore), 0u);
        EXPECT_LT(largestStep(before, out), 0.005) << "click";
    }
}

// Judged on DC and 20 Hz, where a hard cut shows as a step.
TEST(Mixer, StopAndReleaseFallSilentWithinTheRampWithoutAStep) {
    enum class Action { Stop, Release, StopThenRelease, ReleaseUnheard };
    using enum Action;
    for (const auto& sound : {std::vector<float>(9600, 0.5f), stereoSine(2400, 20.0, 0.5)}) {
        for (Action action : {Stop, Release, StopThenRelease, ReleaseUnheard}) {
            SCOPED_TRACE(::testing::Message()
                         << (sound.size() == 9600 ? "DC" : "20 Hz") << ", action " << int(action));
            Mixer m;
            const int v = playing(m, dataOf(sound));
            std::vector<float> before(2, 0.0f), out;
            if (action != ReleaseUnheard) {
                before = render(m, 4900);
                ASSERT_GT(std::fabs(before.back()), 0.0f);
            }
            if (action == Stop || action == StopThenRelease) {
                m.stop(v);
                m.commit();
            }
            if (action == StopThenRelease) {
                out = render(m, 100);
            }
            if (action != Stop) {
                m.release(v);
                m.commit();
            }
            const std::vector<float> rest = render(m, 2400 - out.size() / 2, 100);
            out.insert(out.end(), rest.begin(), rest.end());
            EXPECT_EQ(peak(out, action == ReleaseUnheard ? 0 : R), 0.0) << "sound after 10 ms";
            EXPECT_LT(largestStep(before, out), 0.005) << "click";
        }
    }
}

// A volume set with Play applies at once, never louder for a moment whatever
// played before; exact to 0.01 dB; a change while playing ramps without a step.
TEST(Mixer, VolumeIsTheGainInHundredthsOfADecibelAppliedAtOnceWithPlayThenRamped) {
    enum class Setup { SameCommit, SeparateCommits, ReplayAfterLoudPlay };
    using enum Setup;
    struct Case {
        std::int32_t from, to;
        Setup setup;
    };
    // clang-format off
    const Case cases[] = {{0, -2000, SameCommit}, {-2000, 0, SameCommit}, {-602, -1, SameCommit},
                          {-1, -10000, SameCommit}, {-6000, -92, SameCommit},
                          {-6000, 0, SeparateCommits}, {-6000, -2000, ReplayAfterLoudPlay}};
    // clang-format on
    for (const Case& c : cases) {
        SCOPED_TRACE(::testing::Message()
                     << c.from << " to " << c.to << ", setup " << int(c.setup));
        Mixer m;
        const int v = m.addVoice(dataOf(std::vector<float>(2000, 0.8f)));
        if (c.setup == ReplayAfterLoudPlay) {
            m.play(v);
            m.commit();
            render(m, 4800);
            m.stop(v);
            m.setPosition(v, 0);
            m.commit();
            render(m, 2 * R);
        }
        m.play(v);
        if (c.setup == SeparateCommits) {
            m.commit();
        }
        m.setVolume(v, c.from);
        m.commit();
        const std::vector<float> before = render(m, 2 * R);
        EXPECT_LE(peak(before), 0.8 * std::pow(10.0, c.from / 2000.0) * 1.0001);
        m.setVolume(v, c.to);
        m.commit();
        const std::vector<float> after = render(m, 2 * R, 128);
        EXPECT_LT(largestStep(before, after), 2.0 * 0.8 / R) << "stepped instead of ramping";
        for (std::size_t i = 2 * R; i < 4 * R; ++i) {
            ASSERT_NEAR(20.0 * std::log10(before[i] / 0.8), c.from / 100.0, 0.01);
            ASSERT_NEAR(20.0 * std::log10(after[i] / 0.8), c.to / 100.0, 0.01);
        }
    }
}

TEST(Mixer, MixesInFloatAndClampsAnOverloadInsteadOfWrapping) {
    // Of each of three voices in phase: just below full scale together, and far over it.
    for (double amplitude : {std::pow(10.0, -9.6 / 20.0), 0.9}) {
        SCOPED_TRACE(amplitude);
        const std::vector<float> sound = stereoSine(4800, 100.0, amplitude);
        Mixer m;
        for (int i = 0; i < 3; ++i) {
            playing(m, dataOf(sound));
        }
        const std::vector<float> out = render(m, R + 4800);
        for (std::size_t f = R; f < out.size() / 2; ++f) {
            const double sum = 3.0 * sound[2 * (f % 4800)];
            if (std::fabs(sum) <= 1.0) {
                ASSERT_NEAR(out[2 * f], sum, 1e-6);
            } else {
                ASSERT_EQ(out[2 * f], sum > 0 ? 1.0f : -1.0f) << "wrapped at frame " << f;
            }
        }
    }
}

// A GUI-side thread plays, stops, rewinds, changes and releases voices while
// another renders, as the device callback does. ThreadSanitizer (the tsan
// preset) checks the hand-over; the test checks what comes out.
TEST(MixerHammer, ControlAndRenderThreadsShareNothingButTheHandOver) {
    Mixer m;
    std::atomic<bool> done{false};
    std::atomic<long> badSamples{0};
    std::thread renderer([&] {
        std::vector<float> block(2 * 256);
        while (!done.load()) {
            m.render(block.data(), 256);
            for (float s : block) {
                badSamples += !std::isfinite(s) || std::fabs(s) > 1.0f;
            }
        }
    });

    std::mt19937 random(7);
    std::vector<int> voices;
    std::vector<std::weak_ptr<SampleData>> everything;
    for (int round = 0; round < 20000; ++round) {
        if (voices.size() < 6 || random() % 50 == 0) {
            auto data = std::make_shared<SampleData>();
            data->samples = stereoNoise(100 + random() % 2000, 0.9f, random());
            everything.push_back(data);
            if (const int v = m.addVoice(std::move(data)); v >= 0) {
                voices.push_back(v);
            }
        }
        if (voices.empty()) { // every slot waits for the renderer
            m.reclaim();
            continue;
        }
        const std::size_t pick = random() % voices.size();
        const int v = voices[pick];
        if (const unsigned op = random() % 6; op == 0) {
            m.stop(v);
        } else if (op == 1) {
            m.setVolume(v, -std::int32_t(random() % 10001));
        } else if (op == 2) {
            m.setPosition(v, std::uint32_t(random()));
        } else if (op == 3) {
            m.release(v);
            voices.erase(voices.begin() + std::ptrdiff_t(pick));
        } else { // play, or stop, rewind and play as the engine does
            if (op == 5) {
                m.stop(v);
                m.setPosition(v, 0);
            }
            m.play(v);
        }
        if (random() % 3 == 0) {
            m.commit();
        }
        if (random() % 20 == 0) {
            m.reclaim();
        }
    }
    for (int v : voices) {
        m.release(v);
    }
    m.commit();
    done = true;
    renderer.join();
    // Past every fade, the renderer lets go of the released voices.
    std::vector<float> rest(2 * 3 * Mixer::kRampFrames);
    m.render(rest.data(), 3 * Mixer::kRampFrames);

    EXPECT_EQ(badSamples.load(), 0);
    m.reclaim();
    for (const auto& w : everything) {
        EXPECT_TRUE(w.expired()) << "sample data never freed";
    }
}

// A queue rewritten on a click: going back to the checkpoint of a block and
// rendering again sounds exactly as if the change had come at that block,
// and a voice let go of meanwhile keeps its data until no checkpoint that
// may still be restored holds it.
TEST(Mixer, RenderingAgainFromACheckpointAppliesTheChangeThereAndKeepsWhatItMayNeed) {
    constexpr std::size_t kBlock = 512;
    constexpr int kBlocks = 10;
    constexpr int kChangeAt = 4;
    Mixer straight, rewound;
    rewound.holdLetGo(true);
    std::array<int, 4> v{}, w{};
    std::weak_ptr<SampleData> released;
    for (int i = 0; i < 3; ++i) {
        auto data = dataOf(stereoNoise(700 + 300 * i, 0.3f, i));
        v[i] = playing(straight, dataOf(data->samples));
        released = data;
        w[i] = playing(rewound, std::move(data));
    }
    auto later = dataOf(stereoSine(960, 50.0, 0.3));
    const auto change = [&](Mixer& m, std::array<int, 4>& voices) {
        m.stop(voices[0]);
        m.setVolume(voices[1], -600);
        m.release(voices[2]);
        voices[3] = m.addVoice(later);
        m.play(voices[3]);
        m.commit();
    };

    std::vector<float> expected(2 * kBlock * kBlocks), got(expected.size());
    std::vector<Mixer::Checkpoint> checkpoints(kBlocks);
    for (int b = 0; b < kBlocks; ++b) {
        if (b == kChangeAt) {
            change(straight, v);
        }
        straight.render(expected.data() + 2 * kBlock * b, kBlock);
        rewound.save(checkpoints[b], std::uint64_t(b));
        rewound.render(got.data() + 2 * kBlock * b, kBlock);
    }
    change(rewound, w);
    rewound.restore(checkpoints[kChangeAt], kChangeAt);
    for (int b = kChangeAt; b < kBlocks; ++b) {
        rewound.save(checkpoints[b], std::uint64_t(b));
        rewound.render(got.data() + 2 * kBlock * b, kBlock);
    }
    EXPECT_EQ(got, expected);
    EXPECT_GT(peak(got, kChangeAt * kBlock), 0.1) << "the rewrite is silent";

    // The released voice fell silent in block kChangeAt.
    rewound.reclaim();
    EXPECT_FALSE(released.expired()) << "freed while a checkpoint before it may come back";
    rewound.publishLetGo(kChangeAt);
    rewound.reclaim();
    EXPECT_FALSE(released.expired());
    // Going back before it was let go sounds it again: it is not handed
    // back until it has been let go of once more.
    rewound.restore(checkpoints[kChangeAt], kChangeAt);
    rewound.publishLetGo(kChangeAt + 1);
    rewound.reclaim();
    EXPECT_FALSE(released.expired()) << "freed while sounding again";
    rewound.render(got.data(), kBlock);
    rewound.publishLetGo(kChangeAt + 1);
    rewound.reclaim();
    EXPECT_TRUE(released.expired()) << "never handed back";
}

// Quick reloads: a voice made and released between two commits never reaches
// the render side, so its slot is free again at once, however many come; one
// that was committed keeps its data until the render side lets go of it, even
// after its slot's generations went round many times.
TEST(Mixer, AVoiceReleasedBeforeAnyCommitFreesItsSlotAtOnce) {
    Mixer m;
    const auto sound = dataOf(stereoNoise(1000, 0.5f, 3));
    for (int round = 0; round < 300; ++round) {
        const int v = m.addVoice(sound);
        ASSERT_GE(v, 0) << "round " << round;
        m.release(v);
    }
    auto kept = dataOf(stereoNoise(1000, 0.5f, 4));
    const std::weak_ptr<SampleData> watch = kept;
    const int v = playing(m, std::move(kept));
    const std::vector<float> heard = render(m, 2 * R);
    EXPECT_GT(peak(heard, R), 0.1);
    m.release(v);
    m.commit();
    m.reclaim();
    EXPECT_FALSE(watch.expired()) << "freed while the render side may still play it";
    render(m, 3 * R);
    m.reclaim();
    EXPECT_TRUE(watch.expired());
}
