#include "PulseStream.h"

#include <QString>
#include <algorithm>
#include <chrono>
#include <pulse/context.h>
#include <pulse/error.h>
#include <pulse/mainloop.h>
#include <pulse/proplist.h>
#include <pulse/stream.h>

namespace vemba::audio {

namespace {

constexpr std::size_t kFrameBytes = 2 * sizeof(float);
constexpr std::size_t kBlockBytes = PulseStream::kBlockFrames * kFrameBytes;
// Blocks rendered before each hand-over to libpulse.
constexpr std::uint64_t kChunkBlocks = 16;
// A server that has not answered by then is as good as none.
constexpr auto kConnectTimeout = std::chrono::seconds(3);
// How long a start waits to learn how far ahead the sink mixes.
constexpr auto kLeadInQuery = std::chrono::milliseconds(50);

std::uint32_t bytesOf(int frames) {
    return static_cast<std::uint32_t>(frames * kFrameBytes);
}

void dropOperation(pa_operation* operation) {
    if (operation != nullptr) {
        pa_operation_unref(operation);
    }
}

} // namespace

PulseStream::PulseStream(Mixer& mixer) : m_mixer(mixer) {}

PulseStream::~PulseStream() {
    const bool started = m_thread.joinable();
    if (started) {
        m_quit.store(true, std::memory_order_release);
        pa_mainloop_wakeup(m_loop);
        m_thread.join();
    }
    if (m_stream != nullptr) {
        pa_stream_set_state_callback(m_stream, nullptr, nullptr);
        pa_stream_set_write_callback(m_stream, nullptr, nullptr);
        pa_stream_disconnect(m_stream);
        pa_stream_unref(m_stream);
    }
    if (m_context != nullptr) {
        pa_context_set_state_callback(m_context, nullptr, nullptr);
        pa_context_disconnect(m_context);
        pa_context_unref(m_context);
    }
    if (m_loop != nullptr) {
        pa_mainloop_free(m_loop);
    }
    freeRenames(m_rename.exchange(nullptr));
    freeRenames(m_renamed.exchange(nullptr));
    // Whatever the render side let go of is the control side's again.
    m_history.reset();
}

Result PulseStream::open(Mixer& mixer, const QString& title, std::unique_ptr<OutputStream>& stream,
                         bool* noServer) {
    std::unique_ptr<PulseStream> self(new PulseStream(mixer));
    if (Result connected = self->connect(title); !connected) {
        if (noServer != nullptr) {
            *noServer = self->noServer();
        }
        return connected;
    }
    stream = std::move(self);
    return Result::success();
}

QString PulseStream::failure() const {
    const int error = m_context != nullptr ? pa_context_errno(m_context) : PA_ERR_INTERNAL;
    if (error == PA_OK || error == PA_ERR_TIMEOUT) {
        return QStringLiteral("PulseAudio サーバーが応答しません");
    }
    return QString::fromUtf8(pa_strerror(error));
}

bool PulseStream::noServer() const {
    const int error = m_context != nullptr ? pa_context_errno(m_context) : PA_ERR_INTERNAL;
    return error == PA_ERR_CONNECTIONREFUSED || error == PA_ERR_INVALIDSERVER ||
           error == PA_ERR_NOENTITY;
}

bool PulseStream::waitUntil(bool (*ready)(const PulseStream&)) {
    const auto deadline = std::chrono::steady_clock::now() + kConnectTimeout;
    while (!ready(*this)) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(m_context)) ||
            (m_stream != nullptr && !PA_STREAM_IS_GOOD(pa_stream_get_state(m_stream)))) {
            return false;
        }
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || pa_mainloop_prepare(m_loop, static_cast<int>(left.count())) < 0 ||
            pa_mainloop_poll(m_loop) < 0 || pa_mainloop_dispatch(m_loop) < 0) {
            return false;
        }
    }
    return true;
}

Result PulseStream::connect(const QString& title) {
    m_loop = pa_mainloop_new();
    // As the desktop file and the icon theme name the program.
    pa_proplist* program = pa_proplist_new();
    pa_proplist_sets(program, PA_PROP_APPLICATION_NAME, "ヴェンバPC");
    pa_proplist_sets(program, PA_PROP_APPLICATION_ID, "vemba-pc");
    pa_proplist_sets(program, PA_PROP_APPLICATION_ICON_NAME, "vemba-pc");
    pa_proplist_sets(program, PA_PROP_APPLICATION_VERSION, VEMBA_VERSION);
    m_context = m_loop != nullptr
                    ? pa_context_new_with_proplist(pa_mainloop_get_api(m_loop), nullptr, program)
                    : nullptr;
    pa_proplist_free(program);
    if (m_context == nullptr) {
        return Result::failure(failure());
    }
    const auto noteState = [](pa_context* context, void* self) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context))) {
            static_cast<PulseStream*>(self)->m_failed.store(true, std::memory_order_relaxed);
        }
    };
    pa_context_set_state_callback(m_context, noteState, this);
    // A desktop runs its sound server already; starting one is not ours to do.
    if (pa_context_connect(m_context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr) < 0 ||
        !waitUntil([](const PulseStream& s) {
            return pa_context_get_state(s.m_context) == PA_CONTEXT_READY;
        })) {
        return Result::failure(failure());
    }

    // Float is what the mixer renders and what PipeWire and float sinks mix
    // in, so nobody converts.
    const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32NE, Mixer::kSampleRate, 2};
    m_name = streamName(title);
    m_stream = pa_stream_new(m_context, m_name.toUtf8().constData(), &sampleFormat, nullptr);
    if (m_stream == nullptr) {
        return Result::failure(failure());
    }
    const auto noteStreamState = [](pa_stream* stream, void* self) {
        if (!PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
            static_cast<PulseStream*>(self)->m_failed.store(true, std::memory_order_relaxed);
        }
    };
    pa_stream_set_state_callback(m_stream, noteStreamState, this);
    pa_buffer_attr attr{};
    attr.maxlength = UINT32_MAX;
    attr.tlength = bytesOf(kTargetFrames);
    attr.prebuf = UINT32_MAX;
    attr.minreq = bytesOf(kRequestFrames);
    attr.fragsize = UINT32_MAX;
    // Without latency adjustment the sink runs the target less two requests
    // ahead; corked until the mixer has something to play.
    if (pa_stream_connect_playback(m_stream, nullptr, &attr, PA_STREAM_START_CORKED, nullptr,
                                   nullptr) < 0 ||
        !waitUntil([](const PulseStream& s) {
            return pa_stream_get_state(s.m_stream) == PA_STREAM_READY;
        })) {
        return Result::failure(failure());
    }
    if (const pa_buffer_attr* got = pa_stream_get_buffer_attr(m_stream)) {
        m_queuedFrames = got->tlength / kFrameBytes;
    }
    m_buffer.assign(kChunkBlocks * kBlockFrames * 2, 0.0f);
    m_history = std::make_unique<RewriteHistory>(m_mixer, kCheckpoints);
    return Result::success();
}

void PulseStream::start() {
    if (!m_thread.joinable()) {
        m_history->hold();
        m_thread = std::thread([this] { run(); });
    }
}

void PulseStream::setTitle(const QString& title) {
    if (streamName(title) == m_name) {
        return;
    }
    m_name = streamName(title);
    auto* rename = new Rename{pa_proplist_new()};
    pa_proplist_sets(rename->properties, PA_PROP_MEDIA_NAME, m_name.toUtf8().constData());
    // One not sent yet is out of date; those sent are done with.
    freeRenames(m_rename.exchange(rename, std::memory_order_acq_rel));
    freeRenames(m_renamed.exchange(nullptr, std::memory_order_acquire));
    pa_mainloop_wakeup(m_loop);
}

void PulseStream::freeRenames(Rename* chain) {
    while (chain != nullptr) {
        Rename* next = chain->next;
        pa_proplist_free(chain->properties);
        delete chain;
        chain = next;
    }
}

void PulseStream::sendRename() {
    Rename* rename = m_rename.exchange(nullptr, std::memory_order_acq_rel);
    if (rename == nullptr) {
        return;
    }
    // libpulse copies the properties into its message at once.
    dropOperation(pa_stream_proplist_update(m_stream, PA_UPDATE_REPLACE, rename->properties,
                                            nullptr, nullptr));
    rename->next = m_renamed.load(std::memory_order_relaxed);
    while (!m_renamed.compare_exchange_weak(rename->next, rename, std::memory_order_release,
                                            std::memory_order_relaxed)) {
    }
}

void PulseStream::changed() {
    m_rewrite.store(true, std::memory_order_release);
    pa_mainloop_wakeup(m_loop);
}

// A rewrite lands past the margin, and the sink takes it with its share.
int PulseStream::heardWithinMs() const {
    return 1000 * (kSinkFrames + kMarginFrames + 2 * kBlockFrames) / Mixer::kSampleRate;
}

// The queue, the sink's share and the margin of a rewrite.
int PulseStream::queuedMs() const {
    return static_cast<int>(1000 * (m_queuedFrames + kSinkFrames + kBlockFrames) /
                            Mixer::kSampleRate) +
           50;
}

// The sink mixes ahead of what is heard, and a stream that joins it is mixed
// in from where the sink stands at once: what it mixed ahead is rewound where
// the sink can, and lost to whatever already took it (a monitor, a network
// sink). So a stream begins with that much silence, and a start from a
// closed stream is heard whole, from the file's first frame through its
// fade-in.
std::uint64_t PulseStream::leadInBlocks() {
    bool answered = false;
    dropOperation(pa_stream_update_timing_info(
        m_stream, [](pa_stream*, int, void* flag) { *static_cast<bool*>(flag) = true; },
        &answered));
    const auto deadline = std::chrono::steady_clock::now() + kLeadInQuery;
    while (!answered) {
        const auto left = std::chrono::duration_cast<std::chrono::microseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0 || pa_mainloop_prepare(m_loop, static_cast<int>(left.count())) < 0 ||
            pa_mainloop_poll(m_loop) < 0 || pa_mainloop_dispatch(m_loop) < 0) {
            break;
        }
    }
    pa_usec_t ahead = kMaxLeadInFrames * 1000000ull / Mixer::kSampleRate; // unless told less
    if (const pa_timing_info* timing = pa_stream_get_timing_info(m_stream); answered && timing) {
        // What the sink has mixed ahead now is no guide: it is about to mix
        // its next share. Its configured latency bounds what it ever holds.
        ahead = std::max(timing->sink_usec, timing->configured_sink_usec);
    }
    const auto frames = static_cast<std::uint64_t>(
        std::min<pa_usec_t>(ahead, kMaxLeadInFrames * 1000000ull / Mixer::kSampleRate) *
        Mixer::kSampleRate / 1000000);
    return (frames + kMarginFrames + kBlockFrames - 1) / kBlockFrames;
}

void PulseStream::run() {
    m_leadIn = leadInBlocks();
    // What the server asked for before we started, then what it asks.
    onWrite(m_stream, pa_stream_writable_size(m_stream), this);
    pa_stream_set_write_callback(m_stream, &PulseStream::onWrite, this);
    dropOperation(pa_stream_cork(m_stream, 0, nullptr, nullptr));
    while (!m_quit.load(std::memory_order_acquire)) {
        sendRename();
        if (pa_mainloop_iterate(m_loop, 1, nullptr) < 0) {
            m_failed.store(true, std::memory_order_relaxed);
            break;
        }
        if (m_rewrite.exchange(false, std::memory_order_acq_rel)) {
            // Asks where the sink reads now; the answer does the rewrite.
            dropOperation(pa_stream_update_timing_info(m_stream, &PulseStream::onTiming, this));
        }
    }
}

void PulseStream::onWrite(pa_stream*, std::size_t bytes, void* self) {
    auto* s = static_cast<PulseStream*>(self);
    s->send(s->m_written, (bytes + kBlockBytes - 1) / kBlockBytes);
}

void PulseStream::onTiming(pa_stream*, int success, void* self) {
    if (success != 0) {
        static_cast<PulseStream*>(self)->rewrite();
    }
}

void PulseStream::rewrite() {
    const pa_timing_info* timing = pa_stream_get_timing_info(m_stream);
    if (timing == nullptr || timing->read_index_corrupt || timing->read_index < 0) {
        return;
    }
    const auto read = static_cast<std::uint64_t>(timing->read_index) / kFrameBytes;
    std::uint64_t from = (read + kMarginFrames + kBlockFrames - 1) / kBlockFrames;
    from = std::max(from, m_leadIn); // the start stays where it was put
    // Every block from there to the end of the queue has its checkpoint:
    // the last kCheckpoints blocks written are kept.
    from = std::max(from, m_history->oldest());
    if (from >= m_written) {
        return; // nothing queued past the sink: the next request brings the change
    }
    m_history->rewind(from);
    send(from, m_written - from);
}

void PulseStream::send(std::uint64_t first, std::uint64_t count) {
    // A rewrite goes to its place in the queue; a seek to an absolute place
    // is one the server asks us to make up for in its next request.
    pa_seek_mode_t seek = first == m_written ? PA_SEEK_RELATIVE : PA_SEEK_ABSOLUTE;
    std::int64_t offset =
        seek == PA_SEEK_ABSOLUTE ? static_cast<std::int64_t>(first * kBlockBytes) : 0;
    std::uint64_t block = first;
    while (count > 0) {
        const std::uint64_t n = std::min(count, kChunkBlocks);
        for (std::uint64_t i = 0; i < n; ++i, ++block) {
            float* out = m_buffer.data() + i * kBlockFrames * 2;
            if (block < m_leadIn) {
                std::fill(out, out + kBlockFrames * 2, 0.0f);
                continue;
            }
            m_history->render(block, out, kBlockFrames);
        }
        if (pa_stream_write(m_stream, m_buffer.data(), n * kBlockBytes, nullptr, offset, seek) <
            0) {
            m_failed.store(true, std::memory_order_relaxed);
        }
        seek = PA_SEEK_RELATIVE;
        offset = 0;
        count -= n;
    }
    m_written = std::max(m_written, block);
}

} // namespace vemba::audio
