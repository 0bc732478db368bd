#include "RewriteHistory.h"

#include <algorithm>

namespace vemba::audio {

RewriteHistory::RewriteHistory(Mixer& mixer, int checkpoints)
    : m_mixer(mixer), m_checkpoints(static_cast<std::size_t>(checkpoints)) {}

RewriteHistory::~RewriteHistory() {
    // A history that never held may outlive its mixer (a stream that never
    // started).
    if (m_holding) {
        handBack(UINT64_MAX);
        m_mixer.setLetGoHold(nullptr);
    }
}

void RewriteHistory::hold() {
    m_holding = true;
    m_mixer.setLetGoHold(this);
}

void RewriteHistory::render(std::uint64_t block, float* out, int frames) {
    m_block = block;
    m_mixer.save(m_checkpoints[block % m_checkpoints.size()]);
    m_mixer.render(out, frames);
    m_end = std::max(m_end, block + 1);
    // No rewind reaches back before the oldest checkpoint kept.
    handBack(oldest());
}

std::uint64_t RewriteHistory::oldest() const {
    return m_end > m_checkpoints.size() ? m_end - m_checkpoints.size() : 0;
}

void RewriteHistory::rewind(std::uint64_t block) {
    m_mixer.restore(m_checkpoints[block % m_checkpoints.size()]);
    // A voice let go of since is alive again in the restored state; one that
    // was not alive then is let go of again by the next block.
    for (int i = 0; i < Mixer::kMaxVoices; ++i) {
        if (m_held[i] && m_heldAt[i] >= block) {
            m_held[i] = false;
        }
    }
}

void RewriteHistory::letGo(int voice, std::uint32_t generation) {
    // The mixer tells it again every block until it is handed back: the
    // first block is the one that counts.
    if (!m_held[voice]) {
        m_held[voice] = true;
        m_heldAt[voice] = m_block;
        m_heldGen[voice] = generation;
    }
}

void RewriteHistory::handBack(std::uint64_t oldest) {
    for (int i = 0; i < Mixer::kMaxVoices; ++i) {
        if (m_held[i] && m_heldAt[i] < oldest) {
            m_held[i] = false;
            m_mixer.handBack(i, m_heldGen[i]);
        }
    }
}

} // namespace vemba::audio
