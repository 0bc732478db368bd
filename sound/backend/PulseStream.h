#pragma once

#include "Mixer.h"
#include "OutputStream.h"
#include "RewriteHistory.h"

#include <QString>
#include <atomic>
#include <cstdint>
#include <memory>
#include <thread>
#include <vector>

struct pa_context;
struct pa_mainloop;
struct pa_proplist;
struct pa_stream;

namespace vemba::audio {

// A stream of our own on a PulseAudio server (PipeWire's pulse server too).
//
// Playing all night is cheap only if the server and we wake rarely, so the
// server holds a long queue: it asks for a quarter second at a time and
// mixes the sink 80 ms ahead. A click must still be heard at once, so every
// change rewrites the queue from just past what the sink has taken: the
// mixer goes back to its state at that block (RewriteHistory keeps one per
// block still queued) and renders again with the change in.
//
// The queue lives on a thread of ours running libpulse's plain main loop;
// the GUI thread only sets a flag and wakes that loop. Our part of that
// thread takes no lock and allocates nothing (the checkpoints and the block
// buffer are made before it starts); the messages libpulse sends the server
// are its own business, as they are inside SDL's drivers.
//
// The volume mixer shows the program by its name and icon, and the stream by
// what plays (media.name), renamed while it plays. No media.role: the
// server's stream-restore would then keep one volume for every stream of
// that role (all music players, say); without one it keeps ours under our
// application.id, and a volume the user sets comes back with the next stream.
class PulseStream : public OutputStream {
public:
    static constexpr int kBlockFrames = 512;
    static constexpr int kRequestFrames = 12000;
    static constexpr int kSinkFrames = 3840;
    // The sink's share is what stays when two requests are taken off.
    static constexpr int kTargetFrames = 2 * kRequestFrames + kSinkFrames;
    // Past the sink's read position, so that the rewrite lands before the
    // sink takes its next share.
    static constexpr int kMarginFrames = 480;
    // Checkpoints of the blocks a rewrite may reach: the whole queue, with a
    // request's worth rounded up. Released voices are held as long as these
    // reach back, so no more.
    static constexpr int kCheckpoints = 80;
    // The most silence a start waits behind a sink that mixes far ahead.
    static constexpr int kMaxLeadInFrames = kSinkFrames;
    static_assert(kBlockFrames >= Mixer::kRampFrames, "a restart's tail must end within a block");
    static_assert(kCheckpoints * kBlockFrames > kTargetFrames + kRequestFrames);

    // Connects on the calling thread, within a few seconds or not at all;
    // `noServer` tells a failure where no server is there at all from one
    // that is there and failed or did not answer. The mixer is touched only
    // once the stream starts.
    static Result open(Mixer& mixer, const QString& title, std::unique_ptr<OutputStream>& stream,
                       bool* noServer = nullptr);
    ~PulseStream() override;

    void start() override;
    void changed() override;
    bool gone() override { return m_failed.load(std::memory_order_relaxed); }
    int queuedMs() const override;
    int heardWithinMs() const override;
    void setTitle(const QString& title) override;

private:
    // A new name for the stream, made on the window thread, sent on the
    // audio thread and freed on the window thread again.
    struct Rename {
        pa_proplist* properties;
        Rename* next = nullptr;
    };
    static void freeRenames(Rename* chain);
    // Sends the rename the window left, if any (audio thread).
    void sendRename();

    explicit PulseStream(Mixer& mixer);
    Result connect(const QString& title);
    QString failure() const;
    bool noServer() const;
    bool waitUntil(bool (*ready)(const PulseStream&));

    std::uint64_t leadInBlocks();
    void run();
    static void onWrite(pa_stream* stream, std::size_t bytes, void* self);
    static void onTiming(pa_stream* stream, int success, void* self);
    void rewrite();
    // Renders `count` blocks from block `first` and sends them, the first
    // at its own place in the queue.
    void send(std::uint64_t first, std::uint64_t count);

    Mixer& m_mixer;
    pa_mainloop* m_loop = nullptr;
    pa_context* m_context = nullptr;
    pa_stream* m_stream = nullptr;
    std::thread m_thread;
    std::atomic<bool> m_quit{false};
    std::atomic<bool> m_rewrite{false};
    std::atomic<bool> m_failed{false};
    std::uint32_t m_queuedFrames = kTargetFrames;
    QString m_name;                          // the stream's name as last told; window thread
    std::atomic<Rename*> m_rename{nullptr};  // the newest, not sent yet
    std::atomic<Rename*> m_renamed{nullptr}; // sent, for the window to free

    // Audio thread only, allocated before it starts.
    std::uint64_t m_written = 0; // blocks
    std::uint64_t m_leadIn = 0;  // blocks of silence a start begins with
    std::vector<float> m_buffer;
    std::unique_ptr<RewriteHistory> m_history;
};

} // namespace vemba::audio
