// The least SDL program that loops and mixes sound files, for weighing the
// output stream's settings against each other without the rest of the
// program: sdl_output_candidates PERIOD f32|s16 SECONDS FILE...
//
// PERIOD is the callback's frames at 48000 Hz. The driver is whatever SDL
// picks (SDL_AUDIODRIVER chooses one). Prints what SDL granted to stderr and
// plays for SECONDS, or until SIGTERM.

#include "WavLoader.h"

#include <SDL.h>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <pthread.h>
#include <vector>

namespace {

using vemba::audio::SampleData;

struct Voice {
    std::shared_ptr<const SampleData> data;
    std::uint32_t at = 0;
};

struct Player {
    std::vector<Voice> voices;
    std::vector<float> mix; // sized before the stream opens
    bool s16 = false;
};

void callback(void* userdata, Uint8* stream, int len) {
    auto& player = *static_cast<Player*>(userdata);
    const int bytesPerSample = player.s16 ? 2 : 4;
    const int samples = len / bytesPerSample;
    float* mix = player.mix.data();
    std::memset(mix, 0, sizeof(float) * static_cast<std::size_t>(samples));
    const float gain = 1.0F / static_cast<float>(player.voices.size());
    for (Voice& voice : player.voices) {
        const std::vector<float>& source = voice.data->samples;
        for (int i = 0; i < samples; i += 2) {
            mix[i] += gain * source[2 * voice.at];
            mix[i + 1] += gain * source[2 * voice.at + 1];
            if (++voice.at == voice.data->frames()) {
                voice.at = 0;
            }
        }
    }
    if (player.s16) {
        auto* out = reinterpret_cast<Sint16*>(stream);
        for (int i = 0; i < samples; ++i) {
            out[i] = static_cast<Sint16>(mix[i] * 32767.0F);
        }
    } else {
        std::memcpy(stream, mix, sizeof(float) * static_cast<std::size_t>(samples));
    }
}

} // namespace

int main(int argc, char** argv) {
    if (argc < 5) {
        std::fprintf(stderr, "usage: %s PERIOD f32|s16 SECONDS FILE...\n", argv[0]);
        return 2;
    }
    const int period = std::atoi(argv[1]);
    Player player;
    player.s16 = std::strcmp(argv[2], "s16") == 0;
    const int seconds = std::atoi(argv[3]);
    for (int i = 4; i < argc; ++i) {
        Voice voice;
        const auto loaded =
            vemba::audio::loadSoundFile(QString::fromLocal8Bit(argv[i]), 48000, voice.data);
        if (!loaded) {
            std::fprintf(stderr, "%s\n", qPrintable(loaded.reason()));
            return 1;
        }
        player.voices.push_back(voice);
    }
    player.mix.resize(static_cast<std::size_t>(period) * 2);

    // Waits for SIGTERM in one sleep, so that the main thread adds no wake-ups.
    sigset_t term;
    sigemptyset(&term);
    sigaddset(&term, SIGTERM);
    pthread_sigmask(SIG_BLOCK, &term, nullptr);
    if (SDL_Init(SDL_INIT_AUDIO) != 0) {
        std::fprintf(stderr, "%s\n", SDL_GetError());
        return 1;
    }
    SDL_AudioSpec want{};
    want.freq = 48000;
    want.format = player.s16 ? AUDIO_S16SYS : AUDIO_F32SYS;
    want.channels = 2;
    want.samples = static_cast<Uint16>(period);
    want.callback = &callback;
    want.userdata = &player;
    SDL_AudioSpec have{};
    // No changes allowed: SDL converts whatever the device wants.
    const SDL_AudioDeviceID device = SDL_OpenAudioDevice(nullptr, 0, &want, &have, 0);
    if (device == 0) {
        std::fprintf(stderr, "%s\n", SDL_GetError());
        return 1;
    }
    std::fprintf(stderr, "driver %s, %d frames, %s\n", SDL_GetCurrentAudioDriver(), have.samples,
                 player.s16 ? "s16" : "f32");
    SDL_PauseAudioDevice(device, 0);
    const timespec limit{seconds, 0};
    sigtimedwait(&term, nullptr, &limit);
    SDL_CloseAudioDevice(device);
    SDL_Quit();
    return 0;
}
