#include "Mixer.h"

#include "TestSignals.h"

#include <algorithm>
#include <cmath>
#include <gtest/gtest.h>

using vemba::audio::Mixer;
using vemba::audio::SampleData;
using namespace vemba::testing;

namespace {

constexpr int R = Mixer::kRampFrames;

std::shared_ptr<SampleData> dataOf(std::vector<float> samples) {
    auto d = std::make_shared<SampleData>();
    d->samples = std::move(samples);
    return d;
}

std::vector<float> dc(std::size_t frames, float value) {
    return std::vector<float>(frames * 2, value);
}

// Renders `frames` frames in blocks of `block`, as a device callback would.
std::vector<float> render(Mixer& m, std::size_t frames, std::size_t block = 512) {
    std::vector<float> out(frames * 2);
    for (std::size_t at = 0; at < frames; at += block) {
        const std::size_t n = std::min(block, frames - at);
        m.render(out.data() + 2 * at, static_cast<int>(n));
    }
    return out;
}

double peak(const std::vector<float>& s, std::size_t fromFrame = 0) {
    double p = 0.0;
    for (std::size_t i = 2 * fromFrame; i < s.size(); ++i) {
        p = std::max(p, static_cast<double>(std::fabs(s[i])));
    }
    return p;
}

// Largest change between neighbouring frames on either side; `before` is the
// last frame rendered before `s`.
double largestStep(const std::vector<float>& s, float beforeL, float beforeR) {
    double step = std::max(std::fabs(s[0] - beforeL), std::fabs(s[1] - beforeR));
    for (std::size_t i = 2; i < s.size(); ++i) {
        step = std::max(step, static_cast<double>(std::fabs(s[i] - s[i - 2])));
    }
    return step;
}

// Frames where `out` differs bit for bit from the sound looped from `start`.
std::size_t mismatches(const std::vector<float>& out, std::size_t fromFrame,
                       const std::vector<float>& sound, std::size_t start) {
    const std::size_t length = sound.size() / 2;
    std::size_t bad = 0;
    for (std::size_t f = fromFrame; f < out.size() / 2; ++f) {
        const std::size_t src = (start + f) % length;
        if (out[2 * f] != sound[2 * src] || out[2 * f + 1] != sound[2 * src + 1]) {
            ++bad;
        }
    }
    return bad;
}

} // namespace

TEST(Mixer, LoopsRepeatTheSoundBitExactAfterTheStartRamp) {
    struct Case {
        std::size_t length;
        std::size_t block;
    };
    for (const Case c : {Case{1, 64}, Case{3, 1}, Case{479, 1024}, Case{480, 480}, Case{1000, 1000},
                         Case{1000, 333}, Case{4801, 1024}}) {
        SCOPED_TRACE(::testing::Message() << "length " << c.length << ", block " << c.block);
        const std::vector<float> sound = stereoNoise(c.length, 0.9f);
        Mixer m;
        const int v = m.addVoice(dataOf(sound));
        ASSERT_GE(v, 0);
        m.play(v);
        m.commit();
        const std::size_t loops = 3;
        const std::vector<float> out = render(m, R + loops * c.length + 7, c.block);
        EXPECT_EQ(mismatches(out, R, sound, 0), 0u);
        // The start ramp only ever makes the sound quieter.
        for (std::size_t i = 0; i < 2 * static_cast<std::size_t>(R); ++i) {
            ASSERT_LE(std::fabs(out[i]), std::fabs(sound[i % sound.size()]));
        }
    }
}

TEST(Mixer, PlayStartsWhereStopAndRewindLeftTheSound) {
    struct Case {
        const char* name;
        bool rewind;
        bool playInSameCommit;
        std::size_t expectedStart; // frame of the sound heard first after Play
    };
    const std::size_t playedBefore = 1234;
    const std::vector<float> sound = stereoNoise(4000, 0.5f);
    for (const Case c : {Case{"stop, rewind, later play", true, false, 0},
                         Case{"stop, later play resumes", false, false, playedBefore},
                         Case{"stop, rewind, play at once", true, true, 0}}) {
        SCOPED_TRACE(c.name);
        Mixer m;
        const int v = m.addVoice(dataOf(sound));
        m.play(v);
        m.commit();
        (void)render(m, playedBefore, 617);
        m.stop(v);
        if (c.rewind) {
            m.setPosition(v, 0);
        }
        if (!c.playInSameCommit) {
            m.commit();
            const std::vector<float> gap = render(m, 2000);
            EXPECT_EQ(peak(gap, R), 0.0) << "still sounding after the stop";
        }
        m.play(v);
        m.commit();
        const std::vector<float> out = render(m, R + 3000, 256);
        EXPECT_EQ(mismatches(out, R, sound, c.expectedStart), 0u);
    }
}

TEST(Mixer, StopAndReleaseFallSilentWithinTheRampWithoutAStep) {
    enum class Action { Stop, Release, StopThenRelease, ReleaseUnheard };
    struct Material {
        const char* name;
        std::vector<float> sound;
    };
    const std::vector<Material> materials = {{"DC", dc(4800, 0.5f)},
                                             {"20 Hz", stereoSine(2400, 20.0, 0.5)}};
    for (const Material& material : materials) {
        for (Action action :
             {Action::Stop, Action::Release, Action::StopThenRelease, Action::ReleaseUnheard}) {
            SCOPED_TRACE(::testing::Message()
                         << material.name << ", action " << static_cast<int>(action));
            Mixer m;
            auto data = dataOf(material.sound);
            std::weak_ptr<SampleData> watch = data;
            const int v = m.addVoice(std::move(data));
            m.play(v);
            m.commit();
            if (action == Action::ReleaseUnheard) {
                // Played and released before a single frame was rendered.
                m.release(v);
                m.commit();
                EXPECT_EQ(peak(render(m, 2400)), 0.0);
            } else {
                const std::vector<float> steady = render(m, 4800 + 100);
                const float lastL = steady[steady.size() - 2];
                const float lastR = steady.back();
                ASSERT_GT(std::fabs(lastL), 0.0f);
                std::vector<float> out;
                if (action == Action::StopThenRelease) {
                    m.stop(v);
                    m.commit();
                    out = render(m, 100);
                    m.release(v);
                    m.commit();
                    const std::vector<float> rest = render(m, 2300);
                    out.insert(out.end(), rest.begin(), rest.end());
                } else {
                    action == Action::Stop ? m.stop(v) : m.release(v);
                    m.commit();
                    out = render(m, 2400, 100);
                }
                EXPECT_EQ(peak(out, R), 0.0) << "sound left after 10 ms";
                EXPECT_LT(largestStep(out, lastL, lastR), 0.005) << "click";
            }
            m.reclaim();
            EXPECT_EQ(watch.expired(), action != Action::Stop);
        }
    }
}

TEST(Mixer, PlayThenLowVolumeNeverRendersAboveTheVolume) {
    enum class Order { SameCommit, SeparateCommits, AfterEmptyRender, ReplayAfterLoudPlay };
    const std::vector<float> sound = stereoSine(4800, 1000.0, 1.0);
    const double fileLevel = peak(sound);
    for (Order order : {Order::SameCommit, Order::SeparateCommits, Order::AfterEmptyRender,
                        Order::ReplayAfterLoudPlay}) {
        SCOPED_TRACE(static_cast<int>(order));
        Mixer m;
        const int v = m.addVoice(dataOf(sound));
        if (order == Order::ReplayAfterLoudPlay) {
            m.play(v);
            m.commit();
            (void)render(m, 4800);
            m.stop(v);
            m.setPosition(v, 0);
            m.commit();
            (void)render(m, 2 * R);
        }
        m.play(v);
        if (order != Order::SameCommit && order != Order::ReplayAfterLoudPlay) {
            m.commit();
        }
        if (order == Order::AfterEmptyRender) {
            m.render(nullptr, 0);
        }
        m.setVolume(v, -6000);
        m.commit();
        const std::vector<float> out = render(m, 9600, 1024);
        EXPECT_LE(peak(out), fileLevel * 1e-3 * 1.0001);
        EXPECT_GT(peak(out), fileLevel * 1e-3 * 0.99) << "not playing at all";
    }
}

TEST(Mixer, VolumeIsTheGainInHundredthsOfADecibel) {
    for (std::int32_t volume : {0, -1, -92, -602, -2000, -6000, -10000}) {
        SCOPED_TRACE(volume);
        Mixer m;
        const int v = m.addVoice(dataOf(dc(1000, 0.5f)));
        m.play(v);
        m.setVolume(v, volume);
        m.commit();
        const std::vector<float> out = render(m, R + 200);
        for (std::size_t i = 2 * R; i < out.size(); ++i) {
            ASSERT_NEAR(20.0 * std::log10(out[i] / 0.5), volume / 100.0, 0.01);
        }
    }
}

TEST(Mixer, VolumeChangeWhilePlayingRampsWithoutAStep) {
    for (auto [from, to] : {std::pair{0, -2000}, std::pair{-6000, 0}, std::pair{-602, -92}}) {
        SCOPED_TRACE(::testing::Message() << from << " to " << to);
        Mixer m;
        const int v = m.addVoice(dataOf(dc(1000, 0.8f)));
        m.play(v);
        m.setVolume(v, from);
        m.commit();
        const std::vector<float> before = render(m, 2 * R);
        m.setVolume(v, to);
        m.commit();
        const std::vector<float> out = render(m, 2 * R, 128);
        const double full = 0.8;
        EXPECT_LT(largestStep(out, before[before.size() - 2], before.back()), 2.0 * full / R)
            << "stepped instead of ramping";
        EXPECT_NEAR(20.0 * std::log10(out[2 * R] / full), to / 100.0, 0.01);
    }
}

TEST(Mixer, MixesInFloatAndClampsAnOverloadInsteadOfWrapping) {
    struct Case {
        double amplitude; // of each of the three voices, in phase
        bool overloads;
    };
    const double minus9_6dB = std::pow(10.0, -9.6 / 20.0);
    for (const Case c : {Case{minus9_6dB, false}, Case{0.9, true}}) {
        SCOPED_TRACE(c.amplitude);
        const std::vector<float> sound = stereoSine(4800, 100.0, c.amplitude);
        Mixer m;
        for (int i = 0; i < 3; ++i) {
            const int v = m.addVoice(dataOf(sound));
            m.play(v);
        }
        m.commit();
        const std::vector<float> out = render(m, R + 4800);
        for (std::size_t f = R; f < out.size() / 2; ++f) {
            const double sum = 3.0 * sound[2 * (f % 4800)];
            const float got = out[2 * f];
            ASSERT_LE(std::fabs(got), 1.0f);
            if (std::fabs(sum) <= 1.0) {
                ASSERT_NEAR(got, sum, 1e-6);
            } else {
                ASSERT_EQ(got, sum > 0 ? 1.0f : -1.0f) << "wrapped at frame " << f;
            }
        }
        // Three voices at -9.6 dBFS peak just below full scale.
        EXPECT_EQ(peak(out, R) >= 1.0, c.overloads);
        if (!c.overloads) {
            EXPECT_NEAR(20.0 * std::log10(peak(out, R)), 20.0 * std::log10(3.0 * minus9_6dB), 0.01);
        }
    }
}

TEST(Mixer, SlotsComeBackOnlyAfterTheRenderSideLetGo) {
    Mixer m;
    std::vector<int> voices;
    for (int i = 0; i < Mixer::kMaxVoices; ++i) {
        voices.push_back(m.addVoice(dataOf(dc(10, 0.001f * static_cast<float>(i + 1)))));
        ASSERT_GE(voices.back(), 0);
    }
    EXPECT_EQ(m.addVoice(dataOf(dc(10, 0.5f))), -1) << "more voices than slots";
    m.play(voices[5]);
    m.commit();
    (void)render(m, R);
    m.release(voices[5]);
    m.commit();
    m.reclaim();
    EXPECT_EQ(m.addVoice(dataOf(dc(10, 0.5f))), -1) << "slot reused while still fading";

    (void)render(m, R + 10);
    m.reclaim();
    const int fresh = m.addVoice(dataOf(dc(10, 0.5f)));
    ASSERT_GE(fresh, 0);
    m.play(fresh);
    m.commit();
    // Only the new voice sounds: the old one of that slot is gone for good.
    const std::vector<float> out = render(m, R + 100);
    EXPECT_FLOAT_EQ(out[2 * (R + 50)], 0.5f);
    EXPECT_FALSE(m.settled()) << "a playing voice is not settled";
}
