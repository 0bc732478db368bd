#include "RewriteHistory.h"

#include "TestSignals.h"

#include <gtest/gtest.h>
#include <optional>

using namespace vemba::audio;
using namespace vemba::testing;

namespace {

constexpr int kBlock = 512;
constexpr int kCheckpoints = 4;
// More blocks than checkpoints, so that the ring has gone round.
constexpr int kBlocks = 10;

} // namespace

// A queue rewritten on a click: going back to the oldest checkpoint kept and
// rendering again sounds exactly as if the change had come at that block,
// every time. A voice that the change released keeps its data while a
// checkpoint from before the block it fell silent in is kept, and is handed
// back once none is, or once the history ends.
TEST(RewriteHistory, RenderingAgainFromTheOldestCheckpointAppliesTheChangeThere) {
    Mixer mixers[2]; // one rendered straight, one through the history and rewound
    Mixer &straight = mixers[0], &rewound = mixers[1];
    std::optional<RewriteHistory> history(std::in_place, rewound, kCheckpoints);
    history->hold();
    int voices[2][4] = {};
    std::weak_ptr<const SampleData> data[2][4];
    const auto add = [&](int m, int i, std::vector<float> samples) {
        auto shared = std::make_shared<const SampleData>(SampleData{std::move(samples)});
        data[m][i] = shared;
        mixers[m].play(voices[m][i] = mixers[m].addVoice(std::move(shared)));
        mixers[m].commit();
    };
    const auto change = [&](int m) {
        mixers[m].stop(voices[m][0]);
        mixers[m].setVolume(voices[m][1], -600);
        mixers[m].release(voices[m][2]);
        add(m, 3, stereoSine(960, 50.0, 0.3)); // not live in any checkpoint; commits
    };
    for (int m = 0; m < 2; ++m) {
        for (int i = 0; i < 3; ++i) {
            add(m, i, stereoNoise(700 + 300 * i, 0.3f, i));
        }
    }

    std::vector<float> expected(2 * kBlock * kBlocks), got(expected.size());
    for (int b = 0; b < kBlocks; ++b) {
        if (b == kBlocks - kCheckpoints) {
            change(0);
        }
        straight.render(&expected[2 * kBlock * b], kBlock);
        history->render(b, &got[2 * kBlock * b], kBlock);
    }
    change(1);
    // The second time, the released voice has fallen silent and is held.
    for (int pass = 0; pass < 2; ++pass) {
        const std::uint64_t from = history->oldest();
        history->rewind(from);
        for (std::uint64_t b = from; b < kBlocks; ++b) {
            history->render(b, &got[2 * kBlock * b], kBlock);
        }
        EXPECT_EQ(got, expected) << "pass " << pass;
    }

    rewound.reclaim();
    EXPECT_FALSE(data[1][2].expired()) << "freed while a checkpoint may sound it again";
    history->render(kBlocks, got.data(), kBlock);
    rewound.reclaim();
    EXPECT_TRUE(data[1][2].expired()) << "held past its last checkpoint";

    rewound.release(voices[1][0]);
    rewound.commit();
    history->render(kBlocks + 1, got.data(), kBlock);
    history.reset();
    rewound.reclaim();
    EXPECT_TRUE(data[1][0].expired()) << "still held after the history ended";
}
