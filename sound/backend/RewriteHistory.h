#pragma once

#include "Mixer.h"

#include <array>
#include <cstdint>
#include <vector>

namespace vemba::audio {

// The mixer's recent past, for a stream that rewrites what it has queued
// (PulseStream): the mixer's state before each of the last blocks rendered,
// so that rendering can go back to one of them and run again with the
// changes committed since. A voice the mixer lets go of meanwhile may sound
// again when it goes back, so its data stays until no checkpoint is left
// from before the mixer let go of it.
//
// Made on the control side, which allocates the checkpoints; hold() and the
// destructor only while no render thread runs, the rest on the render
// thread, which takes no lock and allocates nothing here.
class RewriteHistory final : private Mixer::LetGoHold {
public:
    RewriteHistory(Mixer& mixer, int checkpoints);
    // Hands back every voice still held and lets the mixer hand back the
    // ones it lets go of at once again.
    ~RewriteHistory();
    RewriteHistory(const RewriteHistory&) = delete;
    RewriteHistory& operator=(const RewriteHistory&) = delete;

    // From now on the mixer's let-go voices wait here.
    void hold();

    // Renders block `block` of the output, keeping the mixer's state before
    // it. Blocks come one after the other, from where rewind() went back to.
    void render(std::uint64_t block, float* out, int frames);
    // The oldest block whose checkpoint is still kept.
    std::uint64_t oldest() const;
    // Goes back to the state before `block`, from oldest() up to the last
    // block rendered, and rendered through render() itself.
    void rewind(std::uint64_t block);

private:
    void letGo(int voice, std::uint32_t generation) override;
    // Hands back the voices let go of before block `oldest`.
    void handBack(std::uint64_t oldest);

    Mixer& m_mixer;
    bool m_holding = false;
    std::vector<Mixer::RenderState> m_checkpoints;
    std::uint64_t m_end = 0;   // one past the last block rendered
    std::uint64_t m_block = 0; // the block being rendered
    std::array<bool, Mixer::kMaxVoices> m_held{};
    std::array<std::uint64_t, Mixer::kMaxVoices> m_heldAt{};
    std::array<std::uint32_t, Mixer::kMaxVoices> m_heldGen{};
};

} // namespace vemba::audio
