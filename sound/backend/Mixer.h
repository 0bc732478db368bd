#pragma once

#include "SampleData.h"

#include <array>
#include <atomic>
#include <cstdint>
#include <memory>

namespace vemba::audio {

// Mixes looping voices into interleaved stereo float.
//
// Two sides: one control thread (the GUI) adds, plays, stops, rewinds,
// changes and releases voices and then commits; one render thread calls
// render(). The render side takes no lock, allocates nothing and frees
// nothing. Each voice's whole state travels in one 64-bit atomic word, so
// the render side always sees a consistent voice (Play and SetVolume
// committed together arrive together). Sample data is freed on the control
// side once the render side has acknowledged that it let go of it.
class Mixer {
public:
    static constexpr int kSampleRate = 48000;
    // Slots for voices playing and for voices released but still held: how
    // many quick changes can hold is worked out in MixingAudioLayer.cpp.
    static constexpr int kMaxVoices = 80;
    static constexpr std::int32_t kMinVolume = -10000;
    // A position travels in 25 bits; ten minutes at 48000 Hz fit.
    static constexpr std::uint32_t kMaxFrames = (1u << 25) - 1;
    // Ramp of start, stop, release and volume change: 10 ms.
    static constexpr int kRampFrames = kSampleRate / 100;

    Mixer();
    ~Mixer();
    Mixer(const Mixer&) = delete;
    Mixer& operator=(const Mixer&) = delete;

    // ---- control side ----
    // A new voice, stopped at frame 0 at full level; -1 when every slot is
    // still taken or the data is empty or too long.
    int addVoice(std::shared_ptr<const SampleData> data);
    void play(int voice);
    void stop(int voice);
    // Hundredths of a decibel, kMinVolume to 0.
    void setVolume(int voice, std::int32_t volume);
    void setPosition(int voice, std::uint32_t frame);
    // Fades the voice out; its slot and data come back through reclaim(), or
    // at once for a voice no commit has handed to the render side yet.
    void release(int voice);
    // Fades every voice out for good: nothing sounds on this mixer again.
    void silenceForever();
    // Hands every change since the last commit to the render side at once.
    void commit();

    // Some committed or staged voice is playing (and not silenced forever).
    bool anyPlaying() const;
    // The render side has applied the last commit and has nothing sounding.
    bool settled() const;
    // Released voices whose data the render side still holds.
    bool hasPendingRelease() const;
    // Frees the data of released voices the render side has let go of.
    void reclaim();
    // Does the render side's bookkeeping instantly and without output; only
    // while no render thread runs (the stream is closed).
    void settleWithoutOutput();

    // Voices the render side lets go of go to `hold` from now on, which gives
    // them back through handBack() (none: straight to the control side).
    // Changed only while no render thread runs.
    class LetGoHold;
    void setLetGoHold(LetGoHold* hold);

    // ---- render side ----
    void render(float* out, int frames);

    // The render side's state between two blocks, for rendering again from
    // there with the changes committed since (a queue rewritten on a click).
    class RenderState;
    void save(RenderState& to) const;
    void restore(const RenderState& from);
    // Gives a voice held by the LetGoHold back to the control side.
    void handBack(int voice, std::uint32_t generation);

    // Linear gain of a volume in hundredths of a decibel: 10^(v/2000).
    static float gainOf(std::int32_t volume);

private:
    // The playing read head and the tail of the one before it (see Mixer.cpp).
    static constexpr int kHeads = 2;

    struct Head {
        std::uint32_t pos = 0;
        float gain = 0.0f;
        float target = 0.0f;
        float step = 0.0f;
        int rampLeft = 0;
        bool active = false;
        bool fresh = false; // has rendered no frame yet
    };

    // Render-side state of one slot.
    struct Live {
        const float* samples = nullptr;
        std::uint32_t frames = 0;
        std::uint64_t word = 0;
        bool live = false;
        std::uint32_t resumePos = 0;
        int main = -1;
        std::array<Head, kHeads> heads{};
    };

    // Control-side state of one slot.
    struct Control {
        std::shared_ptr<const SampleData> data;
        std::uint64_t word = 0;
        bool inUse = false;
        bool dirty = false;
        bool committed = false; // the render side may have seen this voice
    };

    void stage(int voice, std::uint64_t word);
    bool valid(int voice) const;

    // One render-side pass: applies the last commit, asks `sound` of every
    // live voice whether it still sounds, lets go of released ones that do
    // not, and reports the outcome for settled().
    template <typename Sound> void pass(Sound sound);
    void update(bool silenced);
    void applyWord(Live& v, std::uint64_t word, bool silenced);
    void startHead(Live& v, std::uint32_t pos, float gain);
    void fadeOut(Head& h);
    void rampTo(Head& h, float target);
    void mixHead(const Live& v, Head& h, float* out, int frames);
    void letGo(int slot);

    // Shared between the sides.
    std::array<std::atomic<std::uint64_t>, kMaxVoices> m_words;
    std::array<std::atomic<const SampleData*>, kMaxVoices> m_data;
    std::array<std::atomic<std::uint32_t>, kMaxVoices> m_letGo; // generation let go
    std::atomic<std::uint64_t> m_commitSeq{0};
    std::atomic<std::uint64_t> m_status{0}; // commit seen << 1 | sounding
    std::atomic<bool> m_silenced{false};

    // Control side only.
    std::array<Control, kMaxVoices> m_control;
    std::uint64_t m_seq = 0;
    bool m_silencedStaged = false;

    // Render side only.
    std::array<Live, kMaxVoices> m_live;
    LetGoHold* m_hold = nullptr;

public:
    class RenderState {
        friend class Mixer;
        std::array<Live, kMaxVoices> m_live{};
    };

    class LetGoHold {
    public:
        // The render side let go of `voice`; called again on later blocks
        // until it is handed back.
        virtual void letGo(int voice, std::uint32_t generation) = 0;

    protected:
        ~LetGoHold() = default;
    };
};

} // namespace vemba::audio
