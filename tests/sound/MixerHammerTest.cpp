#include "Mixer.h"
#include "TestSignals.h"

#include <atomic>
#include <cmath>
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
    std::atomic<long> blocks{0};

    std::thread renderer([&] {
        std::vector<float> block(2 * 256);
        while (!done.load()) {
            m.render(block.data(), 256);
            for (float s : block) {
                if (!std::isfinite(s) || std::fabs(s) > 1.0f) {
                    badSamples.fetch_add(1);
                }
            }
            blocks.fetch_add(1);
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
            const int v = m.addVoice(std::move(data));
            if (v >= 0) {
                voices.push_back(v);
            }
        }
        if (voices.empty()) {
            m.reclaim();
            continue;
        }
        const std::size_t pick = random() % voices.size();
        const int v = voices[pick];
        switch (random() % 6) {
        case 0:
            m.play(v);
            break;
        case 1:
            m.stop(v);
            break;
        case 2:
            m.setVolume(v, -static_cast<std::int32_t>(random() % 10001));
            break;
        case 3:
            m.setPosition(v, static_cast<std::uint32_t>(random()));
            break;
        case 4:
            m.release(v);
            voices.erase(voices.begin() + static_cast<std::ptrdiff_t>(pick));
            break;
        default:
            m.stop(v);
            m.setPosition(v, 0);
            m.play(v);
            break;
        }
        if (random() % 3 == 0) {
            m.commit();
        }
        if (random() % 20 == 0) {
            m.reclaim();
        }
        if (round % 1000 == 0) {
            std::this_thread::yield();
        }
    }
    for (int v : voices) {
        m.release(v);
    }
    m.commit();
    // Let the renderer see the releases and finish every fade.
    const long seen = blocks.load();
    while (blocks.load() < seen + 3 * Mixer::kRampFrames / 256 + 3) {
        std::this_thread::yield();
    }
    done.store(true);
    renderer.join();

    EXPECT_EQ(badSamples.load(), 0);
    EXPECT_TRUE(m.settled());
    m.reclaim();
    EXPECT_FALSE(m.hasPendingRelease());
    for (const auto& w : everything) {
        EXPECT_TRUE(w.expired()) << "sample data never freed";
    }
    std::vector<float> tail(2 * 64);
    m.render(tail.data(), 64);
    for (float s : tail) {
        ASSERT_EQ(s, 0.0f);
    }
}
