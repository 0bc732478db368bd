// The least libpulse program that loops and mixes sound files through the
// program's mixer, for weighing the queue's settings against each other:
// pulse_queue_candidates REQUEST_MS SINK_MS SECONDS FILE...
//
// The stream asks for REQUEST_MS at a time and the sink runs SINK_MS ahead
// (target length two requests plus the sink's share, no latency adjustment),
// as the program's own stream does but without its rewrites. Plays for
// SECONDS.

#include "Mixer.h"
#include "WavLoader.h"

#include <cstdio>
#include <cstdlib>
#include <pulse/context.h>
#include <pulse/mainloop.h>
#include <pulse/rtclock.h>
#include <pulse/stream.h>
#include <vector>

namespace {

using vemba::audio::Mixer;

struct Player {
    Mixer mixer;
    std::vector<float> buffer;
};

// Renders in the program's 512-frame blocks and hands them over at once, as
// the program does.
void onWrite(pa_stream* stream, std::size_t bytes, void* userdata) {
    auto& player = *static_cast<Player*>(userdata);
    constexpr std::size_t kBlock = 512;
    const std::size_t blocks = (bytes / (2 * sizeof(float)) + kBlock - 1) / kBlock;
    player.buffer.resize(2 * kBlock * blocks);
    for (std::size_t b = 0; b < blocks; ++b) {
        player.mixer.render(player.buffer.data() + 2 * kBlock * b, kBlock);
    }
    pa_stream_write(stream, player.buffer.data(), player.buffer.size() * sizeof(float), nullptr, 0,
                    PA_SEEK_RELATIVE);
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s REQUEST_MS SINK_MS SECONDS FILE...\n", argv[0]);
        return 2;
    }
    const int requestMs = std::atoi(argv[1]);
    const int sinkMs = std::atoi(argv[2]);
    const int seconds = std::atoi(argv[3]);
    Player player;
    for (int i = 4; i < argc; ++i) {
        std::shared_ptr<const vemba::audio::SampleData> data;
        const auto loaded =
            vemba::audio::loadSoundFile(QString::fromLocal8Bit(argv[i]), Mixer::kSampleRate, data);
        if (!loaded) {
            std::fprintf(stderr, "%s\n", qPrintable(loaded.reason()));
            return 1;
        }
        const int voice = player.mixer.addVoice(data);
        player.mixer.setVolume(voice, -954); // a third each
        player.mixer.play(voice);
    }
    player.mixer.commit();

    pa_mainloop* loop = pa_mainloop_new();
    pa_context* context = pa_context_new(pa_mainloop_get_api(loop), "pulse_queue_candidates");
    pa_context_connect(context, nullptr, PA_CONTEXT_NOAUTOSPAWN, nullptr);
    while (pa_context_get_state(context) != PA_CONTEXT_READY) {
        if (!PA_CONTEXT_IS_GOOD(pa_context_get_state(context)) ||
            pa_mainloop_iterate(loop, 1, nullptr) < 0) {
            std::fprintf(stderr, "no PulseAudio server\n");
            return 1;
        }
    }
    const pa_sample_spec sampleFormat{PA_SAMPLE_FLOAT32NE, Mixer::kSampleRate, 2};
    pa_stream* stream = pa_stream_new(context, "candidate", &sampleFormat, nullptr);
    const auto bytes = [&](int ms) {
        return static_cast<std::uint32_t>(pa_usec_to_bytes(ms * 1000ULL, &sampleFormat));
    };
    pa_buffer_attr attr{};
    attr.maxlength = UINT32_MAX;
    attr.tlength = bytes(2 * requestMs + sinkMs);
    attr.prebuf = UINT32_MAX;
    attr.minreq = bytes(requestMs);
    attr.fragsize = UINT32_MAX;
    pa_stream_set_write_callback(stream, &onWrite, &player);
    pa_stream_connect_playback(stream, nullptr, &attr, PA_STREAM_NOFLAGS, nullptr, nullptr);
    const pa_usec_t end = pa_rtclock_now() + seconds * 1000000ULL;
    while (pa_rtclock_now() < end && pa_mainloop_iterate(loop, 1, nullptr) >= 0 &&
           PA_STREAM_IS_GOOD(pa_stream_get_state(stream))) {
    }
    pa_stream_disconnect(stream);
    pa_stream_unref(stream);
    pa_context_disconnect(context);
    pa_context_unref(context);
    pa_mainloop_free(loop);
    return 0;
}
