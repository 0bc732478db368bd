#include "Mixer.h"

#include <algorithm>
#include <cmath>

// One voice (a slot) as the render side sees it; the control side's calls
// reach it together at the first render after a commit:
//
//             addVoice              play
//     free ------------> stopped ----------> playing ---+
//       ^                  |     <----------   |   ^    | setPosition:
//       |                  |        stop       |   +----+ restart there
//       |          release |                   | release,
//       |                  v                   | silenceForever
//       +---- letGo ---- released <------------+
//
// A stopped voice keeps the frame to resume from; setPosition moves it.
// letGo comes once no head of a released voice sounds any more; the control
// side's reclaim() then frees the slot and its data (once a LetGoHold, if
// set, has handed the voice back).
//
// A voice has two read heads: the playing one and the tail of the one before
// it. Every change is heard through a ramp of kRampFrames, never as a step:
//
//             start                   ramp ends
//     idle ----------> fading in -----------------> steady ---+
//      ^   (play,      (fresh until   |               |  ^    | setVolume:
//      |    restart)    it renders)   |               |  +----+ ramp to the
//      |                              |               |         new gain
//      +--- stop, restart while fresh-+               |
//      |                              | not fresh:    | stop, restart,
//      |                              | fadeOut       | release, silence:
//      |                              v               v fadeOut
//      +------- ramp ends at 0 ------ tail: fading out
//
// A restart (stop, rewind and play in one commit, as the engine does) makes
// the playing head the tail and starts the other one: the old sound fades
// out while the new one fades in. A tail begins at the top of a block and
// ends within it when the block is at least kRampFrames long, as the output
// stream's always are, so two heads never run short.

namespace vemba::audio {

namespace {

// One voice's state in one word, so that it changes for the render side in a
// single store:
//   bits  0-13  attenuation in hundredths of a decibel (0 to 10000)
//   bit     14  playing
//   bit     15  released (also: slot free)
//   bits 16-31  rewind count; a change means "jump to the position below"
//   bits 32-56  rewind position in frames
//   bits 57-63  generation of the slot, so that a reused slot is never
//               mistaken for its previous voice
constexpr std::uint64_t kVolumeMask = 0x3FFF;
constexpr std::uint64_t kPlaying = 1ull << 14;
constexpr std::uint64_t kReleased = 1ull << 15;
constexpr int kSeqShift = 16;
constexpr std::uint64_t kSeqMask = 0xFFFF;
constexpr int kPosShift = 32;
constexpr std::uint64_t kPosMask = Mixer::kMaxFrames;
constexpr int kGenShift = 57;
constexpr std::uint64_t kGenMask = 0x7F;

std::int32_t volumeOf(std::uint64_t w) {
    return -static_cast<std::int32_t>(w & kVolumeMask);
}
std::uint32_t seqOf(std::uint64_t w) {
    return static_cast<std::uint32_t>((w >> kSeqShift) & kSeqMask);
}
std::uint32_t posOf(std::uint64_t w) {
    return static_cast<std::uint32_t>((w >> kPosShift) & kPosMask);
}
std::uint32_t genOf(std::uint64_t w) {
    return static_cast<std::uint32_t>((w >> kGenShift) & kGenMask);
}

} // namespace

Mixer::Mixer() {
    for (int i = 0; i < kMaxVoices; ++i) {
        m_words[i].store(kReleased, std::memory_order_relaxed);
        m_data[i].store(nullptr, std::memory_order_relaxed);
        m_letGo[i].store(0, std::memory_order_relaxed);
        m_control[i].word = kReleased;
    }
}

Mixer::~Mixer() = default;

float Mixer::gainOf(std::int32_t volume) {
    return static_cast<float>(std::pow(10.0, static_cast<double>(volume) / 2000.0));
}

// ---- control side ----

int Mixer::addVoice(std::shared_ptr<const SampleData> data) {
    if (!data || data->frames() == 0 || data->frames() > kMaxFrames) {
        return -1;
    }
    // Slots of voices the render side has let go of are free again.
    reclaim();
    for (int i = 0; i < kMaxVoices; ++i) {
        Control& c = m_control[i];
        if (c.inUse) {
            continue;
        }
        const std::uint64_t gen = (genOf(c.word) + 1) & kGenMask;
        m_data[i].store(data.get(), std::memory_order_relaxed);
        c.data = std::move(data);
        c.inUse = true;
        c.committed = false;
        stage(i, gen << kGenShift);
        return i;
    }
    return -1;
}

bool Mixer::valid(int voice) const {
    return voice >= 0 && voice < kMaxVoices && m_control[voice].inUse &&
           (m_control[voice].word & kReleased) == 0;
}

void Mixer::stage(int voice, std::uint64_t word) {
    m_control[voice].word = word;
    m_control[voice].dirty = true;
}

void Mixer::play(int voice) {
    if (valid(voice)) {
        stage(voice, m_control[voice].word | kPlaying);
    }
}

void Mixer::stop(int voice) {
    if (valid(voice)) {
        stage(voice, m_control[voice].word & ~kPlaying);
    }
}

void Mixer::setVolume(int voice, std::int32_t volume) {
    if (valid(voice)) {
        const auto code = static_cast<std::uint64_t>(-std::clamp(volume, kMinVolume, 0));
        stage(voice, (m_control[voice].word & ~kVolumeMask) | code);
    }
}

void Mixer::setPosition(int voice, std::uint32_t frame) {
    if (!valid(voice)) {
        return;
    }
    const std::uint64_t w = m_control[voice].word;
    const std::uint64_t seq = (seqOf(w) + 1) & kSeqMask;
    const std::uint64_t pos = frame % m_control[voice].data->frames();
    const std::uint64_t keep = w & ~((kSeqMask << kSeqShift) | (kPosMask << kPosShift));
    stage(voice, keep | (seq << kSeqShift) | (pos << kPosShift));
}

void Mixer::release(int voice) {
    if (!valid(voice)) {
        return;
    }
    Control& c = m_control[voice];
    if (c.committed) {
        stage(voice, (c.word & ~kPlaying) | kReleased);
        return;
    }
    // Added and released between two commits (quick reloads): the render
    // side never saw it, so the slot is free again at once, under the word
    // the render side last saw, which keeps the generations in step.
    c.data.reset();
    c.inUse = false;
    c.dirty = false;
    c.word = m_words[voice].load(std::memory_order_relaxed);
}

void Mixer::silenceForever() {
    m_silencedStaged = true;
}

void Mixer::commit() {
    for (int i = 0; i < kMaxVoices; ++i) {
        Control& c = m_control[i];
        if (c.dirty) {
            m_words[i].store(c.word, std::memory_order_release);
            c.dirty = false;
            c.committed = c.inUse;
        }
    }
    if (m_silencedStaged) {
        m_silenced.store(true, std::memory_order_release);
    }
    ++m_seq;
    m_commitSeq.store(m_seq, std::memory_order_release);
}

bool Mixer::anyPlaying() const {
    if (m_silencedStaged) {
        return false;
    }
    return std::any_of(m_control.begin(), m_control.end(),
                       [](const Control& c) { return c.inUse && (c.word & kPlaying) != 0; });
}

bool Mixer::settled() const {
    return m_status.load(std::memory_order_acquire) == (m_seq << 1);
}

bool Mixer::hasPendingRelease() const {
    return std::any_of(m_control.begin(), m_control.end(),
                       [](const Control& c) { return c.inUse && (c.word & kReleased) != 0; });
}

void Mixer::reclaim() {
    for (int i = 0; i < kMaxVoices; ++i) {
        Control& c = m_control[i];
        if (c.inUse && (c.word & kReleased) != 0 && !c.dirty &&
            m_letGo[i].load(std::memory_order_acquire) == genOf(c.word)) {
            c.data.reset();
            c.inUse = false;
        }
    }
}

void Mixer::settleWithoutOutput() {
    pass([](Live& v) {
        // Nothing is heard without a stream: tails end at once, a playing
        // head keeps its place for the next stream.
        for (int h = 0; h < kHeads; ++h) {
            if (h != v.main) {
                v.heads[h].active = false;
            }
        }
        return v.main >= 0;
    });
}

// ---- render side ----

void Mixer::letGo(int slot) {
    Live& v = m_live[slot];
    v.live = false;
    v.samples = nullptr;
    v.frames = 0;
    v.main = -1;
    if (m_hold != nullptr) {
        m_hold->letGo(slot, genOf(v.word));
    } else {
        handBack(slot, genOf(v.word));
    }
}

void Mixer::handBack(int voice, std::uint32_t generation) {
    m_letGo[voice].store(generation, std::memory_order_release);
}

void Mixer::setLetGoHold(LetGoHold* hold) {
    m_hold = hold;
}

void Mixer::save(RenderState& to) const {
    to.m_live = m_live;
}

void Mixer::restore(const RenderState& from) {
    m_live = from.m_live;
}

void Mixer::update(bool silenced) {
    for (int i = 0; i < kMaxVoices; ++i) {
        const std::uint64_t w = m_words[i].load(std::memory_order_acquire);
        Live& v = m_live[i];
        if (!v.live) {
            if ((w & kReleased) != 0) {
                // Released before it was ever rendered: let go at once.
                if (m_letGo[i].load(std::memory_order_relaxed) != genOf(w)) {
                    v.word = w;
                    letGo(i);
                }
                continue;
            }
            const SampleData* data = m_data[i].load(std::memory_order_acquire);
            v.samples = data->samples.data();
            v.frames = data->frames();
            v.live = true;
            v.resumePos = 0;
            v.main = -1;
            v.heads = {};
            v.word = w & (kGenMask << kGenShift); // stopped, full level, at frame 0
        }
        applyWord(v, w, silenced);
    }
}

void Mixer::applyWord(Live& v, std::uint64_t w, bool silenced) {
    if (w == v.word && !(silenced && v.main >= 0)) {
        return;
    }
    const bool playing = (w & kPlaying) != 0 && (w & kReleased) == 0 && !silenced;
    const bool rewound = seqOf(w) != seqOf(v.word);

    // A stop or a jump lets the old read head fade out on its own while a new
    // one fades in, so that a rewind of a playing voice never clicks.
    if (v.main >= 0 && (!playing || rewound)) {
        Head& h = v.heads[v.main];
        v.resumePos = h.pos;
        fadeOut(h);
        v.main = -1;
    }
    if (rewound) {
        v.resumePos = posOf(w) % v.frames;
    }
    const float gain = gainOf(volumeOf(w));
    if (v.main >= 0) {
        if (volumeOf(w) != volumeOf(v.word)) {
            // A head not yet heard still has its whole start ramp ahead: it
            // now leads straight to the new level.
            rampTo(v.heads[v.main], gain);
        }
    } else if (playing) {
        startHead(v, v.resumePos, gain);
    }
    v.word = w;
}

void Mixer::startHead(Live& v, std::uint32_t pos, float gain) {
    int slot = -1;
    for (int h = 0; h < kHeads; ++h) {
        if (!v.heads[h].active) {
            slot = h;
            break;
        }
    }
    if (slot < 0) {
        // Every head still fading (many rewinds within one ramp): the quietest
        // tail gives way.
        slot = 0;
        for (int h = 1; h < kHeads; ++h) {
            if (v.heads[h].gain < v.heads[slot].gain) {
                slot = h;
            }
        }
    }
    Head& h = v.heads[slot];
    h.pos = pos;
    h.gain = 0.0f;
    h.target = gain;
    h.step = gain / static_cast<float>(kRampFrames);
    h.rampLeft = kRampFrames;
    h.active = true;
    h.fresh = true;
    v.main = slot;
}

void Mixer::fadeOut(Head& h) {
    if (h.fresh || (h.gain == 0.0f && h.rampLeft == 0)) {
        h.active = false; // never heard: nothing to fade
        return;
    }
    rampTo(h, 0.0f);
}

void Mixer::rampTo(Head& h, float target) {
    h.target = target;
    h.step = (target - h.gain) / static_cast<float>(kRampFrames);
    h.rampLeft = kRampFrames;
}

void Mixer::mixHead(const Live& v, Head& h, float* out, int frames) {
    int done = 0;
    while (done < frames && h.active) {
        int run = static_cast<int>(
            std::min<std::uint32_t>(static_cast<std::uint32_t>(frames - done), v.frames - h.pos));
        const float* s = v.samples + 2 * static_cast<std::size_t>(h.pos);
        float* o = out + 2 * done;
        if (h.rampLeft > 0) {
            run = std::min(run, h.rampLeft);
            // Counted back from the target, so that a ramp never overshoots
            // it and ends on it exactly.
            float g = h.gain;
            int left = h.rampLeft;
            for (int k = 0; k < run; ++k) {
                --left;
                g = h.target - h.step * static_cast<float>(left);
                o[2 * k] += s[2 * k] * g;
                o[2 * k + 1] += s[2 * k + 1] * g;
            }
            h.gain = g;
            h.rampLeft = left;
            if (h.rampLeft == 0) {
                h.gain = h.target;
                h.active = h.target != 0.0f;
            }
        } else {
            const float g = h.gain;
            for (int k = 0; k < run; ++k) {
                o[2 * k] += s[2 * k] * g;
                o[2 * k + 1] += s[2 * k + 1] * g;
            }
        }
        h.pos += static_cast<std::uint32_t>(run);
        if (h.pos >= v.frames) {
            h.pos = 0; // sample-exact loop: the frame after the last is the first
        }
        done += run;
    }
    if (done > 0) {
        h.fresh = false;
    }
}

template <typename Sound> void Mixer::pass(Sound sound) {
    const bool silenced = m_silenced.load(std::memory_order_acquire);
    const std::uint64_t seq = m_commitSeq.load(std::memory_order_acquire);
    update(silenced);
    bool sounding = false;
    for (int i = 0; i < kMaxVoices; ++i) {
        Live& v = m_live[i];
        if (!v.live) {
            continue;
        }
        const bool sounds = sound(v);
        sounding = sounding || sounds;
        if (!sounds && (v.word & kReleased) != 0) {
            letGo(i);
        }
    }
    m_status.store((seq << 1) | (sounding ? 1u : 0u), std::memory_order_release);
}

void Mixer::render(float* out, int frames) {
    std::fill(out, out + 2 * static_cast<std::size_t>(frames), 0.0f);
    pass([&](Live& v) {
        bool any = false;
        for (Head& h : v.heads) {
            if (h.active) {
                mixHead(v, h, out, frames);
                any = any || h.active;
            }
        }
        if (v.main >= 0 && !v.heads[v.main].active) {
            v.main = -1;
        }
        return any;
    });
    // Mixed in float; an overload is clipped here, never wrapped later.
    for (std::size_t n = 0; n < 2 * static_cast<std::size_t>(frames); ++n) {
        out[n] = std::clamp(out[n], -1.0f, 1.0f);
    }
}

} // namespace vemba::audio
