#include "Mixer.h"
#include "TestSignals.h"

#include <atomic>
#include <gtest/gtest.h>
#include <random>
#include <thread>

using vemba::audio::Mixer;
using vemba::audio::SampleData;

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
            data->samples = vemba::testing::stereoNoise(100 + random() % 2000, 0.9f, random());
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
