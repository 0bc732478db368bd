// Hours of the mixer's output rendered offline, as fast as it goes: three
// looping voices whose volume moves and which stop, resume and restart at
// random (seeded) times. Wherever no ramp is under way, every output frame is
// checked against the sum of each playing voice's own buffer at the position
// it must have reached, times its gain: a loop that slips by one frame in
// eight hours shows. Resident memory is sampled every simulated hour and must
// not grow.
//
// usage: mixer_soak [--hours H] [--seed N]      (default: 8 hours, seed 1)
// Exit status 0 when every check held.

#include "Mixer.h"

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>
#include <random>
#include <unistd.h>
#include <vector>

using vemba::audio::Mixer;
using vemba::audio::SampleData;

namespace {

constexpr int kRate = Mixer::kSampleRate;
constexpr int kMinBlock = Mixer::kRampFrames; // the stream's blocks are never shorter
constexpr int kMaxBlock = 4096;
constexpr float kTolerance = 1e-6f;

// What the mixer must be doing with one voice, kept apart from its code.
struct Voice {
    int id = -1;
    std::shared_ptr<const SampleData> data;
    std::uint32_t frames = 0;
    bool playing = false;
    std::uint64_t startFrame = 0; // output frame at which the head left startPos
    std::uint32_t startPos = 0;
    std::uint32_t resumePos = 0;
    float gain = 1.0f;
    std::uint64_t steadyFrom = 0; // no ramp of this voice sounds from here on
    std::uint64_t nextEvent = 0;

    std::uint32_t positionAt(std::uint64_t frame) const {
        return static_cast<std::uint32_t>((startPos + (frame - startFrame)) % frames);
    }
};

std::shared_ptr<const SampleData> noise(std::mt19937_64& rng, std::uint32_t frames) {
    auto data = std::make_shared<SampleData>();
    std::uniform_real_distribution<float> level(-0.3f, 0.3f);
    data->samples.resize(2 * static_cast<std::size_t>(frames));
    for (float& s : data->samples) {
        s = level(rng);
    }
    return data;
}

std::size_t residentBytes() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) {
            resident = 0;
        }
        std::fclose(f);
    }
    return static_cast<std::size_t>(resident) * static_cast<std::size_t>(sysconf(_SC_PAGESIZE));
}

float gainOfVolume(std::int32_t volume) {
    return static_cast<float>(std::pow(10.0, volume / 2000.0));
}

} // namespace

int main(int argc, char** argv) {
    double hours = 8.0;
    unsigned long seed = 1;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--hours") == 0 && i + 1 < argc) {
            hours = std::atof(argv[++i]);
        } else if (std::strcmp(argv[i], "--seed") == 0 && i + 1 < argc) {
            seed = std::strtoul(argv[++i], nullptr, 10);
        } else {
            std::fprintf(stderr, "usage: %s [--hours H] [--seed N]\n", argv[0]);
            return 2;
        }
    }
    if (!(hours > 0)) {
        std::fprintf(stderr, "--hours must be positive\n");
        return 2;
    }
    const auto total = static_cast<std::uint64_t>(hours * 3600.0 * kRate);
    constexpr std::uint64_t kHour = 3600ull * kRate;

    std::mt19937_64 rng(seed);
    Mixer mixer;
    // Lengths of about 1, 2 and 6 s that share no factor with each other or
    // with the block sizes' usual values.
    Voice voices[3];
    const std::uint32_t lengths[3] = {48007, 88211, 288001};
    for (int v = 0; v < 3; ++v) {
        voices[v].data = noise(rng, lengths[v]);
        voices[v].frames = lengths[v];
        voices[v].id = mixer.addVoice(voices[v].data);
        if (voices[v].id != v) {
            std::fprintf(stderr, "the mixer refused voice %d\n", v);
            return 1;
        }
    }

    std::uniform_int_distribution<int> blockSize(kMinBlock, kMaxBlock);
    std::uniform_int_distribution<std::uint64_t> eventGap(kRate / 2, 8ull * kRate);
    std::uniform_int_distribution<int> eventKind(0, 9);
    std::uniform_int_distribution<std::int32_t> volume(-3000, 0);
    std::vector<float> out(2 * kMaxBlock);

    std::uint64_t events[4] = {}; // volume moves, stops, resumes, restarts
    std::uint64_t checked = 0, mismatched = 0, firstMismatch = 0;
    float maxError = 0.0f;
    // Resident memory once every path has run (a simulated minute in), then
    // every simulated hour and at the end.
    std::vector<std::size_t> rss;
    const auto began = std::chrono::steady_clock::now();

    std::uint64_t now = 0;
    while (now < total) {
        bool changed = false;
        for (Voice& v : voices) {
            if (now < v.nextEvent) {
                continue;
            }
            v.nextEvent = now + eventGap(rng);
            v.steadyFrom = now + Mixer::kRampFrames;
            changed = true;
            const int kind = eventKind(rng);
            if (kind < 5) {
                const std::int32_t level = kind == 0 ? Mixer::kMinVolume : volume(rng);
                mixer.setVolume(v.id, level);
                v.gain = gainOfVolume(level);
                ++events[0];
            } else if (kind < 8 && v.playing) {
                mixer.stop(v.id);
                v.resumePos = v.positionAt(now);
                v.playing = false;
                ++events[1];
            } else if (kind < 8) {
                mixer.play(v.id);
                v.startPos = v.resumePos;
                v.startFrame = now;
                v.playing = true;
                ++events[2];
            } else {
                const auto at = static_cast<std::uint32_t>(rng() % v.frames);
                mixer.stop(v.id);
                mixer.setPosition(v.id, at);
                mixer.play(v.id);
                v.startPos = at;
                v.startFrame = now;
                v.playing = true;
                ++events[3];
            }
        }
        if (changed) {
            mixer.commit();
        }

        const int block = static_cast<int>(std::min<std::uint64_t>(blockSize(rng), total - now));
        mixer.render(out.data(), block);

        // Frames from `from` on are past every voice's ramps.
        std::uint64_t from = now;
        for (const Voice& v : voices) {
            from = std::max(from, v.steadyFrom);
        }
        if (from < now + static_cast<std::uint64_t>(block)) {
            std::uint32_t pos[3];
            for (int k = 0; k < 3; ++k) {
                pos[k] = voices[k].playing ? voices[k].positionAt(from) : 0;
            }
            for (std::uint64_t n = from; n < now + static_cast<std::uint64_t>(block); ++n) {
                const float* o = out.data() + 2 * (n - now);
                float expected[2] = {0.0f, 0.0f};
                for (int k = 0; k < 3; ++k) {
                    const Voice& v = voices[k];
                    if (!v.playing) {
                        continue;
                    }
                    const float* s = v.data->samples.data() + 2 * static_cast<std::size_t>(pos[k]);
                    expected[0] += s[0] * v.gain;
                    expected[1] += s[1] * v.gain;
                    if (++pos[k] == v.frames) {
                        pos[k] = 0;
                    }
                }
                const float error =
                    std::max(std::fabs(o[0] - expected[0]), std::fabs(o[1] - expected[1]));
                maxError = std::max(maxError, error);
                if (error > kTolerance && mismatched++ == 0) {
                    firstMismatch = n;
                }
                ++checked;
            }
        }

        const std::uint64_t next = now + static_cast<std::uint64_t>(block);
        constexpr std::uint64_t kMinute = 60ull * kRate;
        if (next / kHour != now / kHour || next == total || (now < kMinute && next >= kMinute)) {
            rss.push_back(residentBytes());
        }
        now = next;
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - began).count();

    std::printf("rendered   %.2f h of 48 kHz stereo (%llu frames) in %.1f s, %.0fx real time\n",
                static_cast<double>(total) / kRate / 3600.0, static_cast<unsigned long long>(total),
                seconds, static_cast<double>(total) / kRate / seconds);
    std::printf(
        "events     %llu volume moves, %llu stops, %llu resumes, %llu restarts\n",
        static_cast<unsigned long long>(events[0]), static_cast<unsigned long long>(events[1]),
        static_cast<unsigned long long>(events[2]), static_cast<unsigned long long>(events[3]));
    std::printf("checked    %llu frames (%.2f %%), largest difference %.3g, %llu off",
                static_cast<unsigned long long>(checked),
                100.0 * static_cast<double>(checked) / static_cast<double>(total),
                static_cast<double>(maxError), static_cast<unsigned long long>(mismatched));
    if (mismatched > 0) {
        std::printf(" (first at frame %llu)", static_cast<unsigned long long>(firstMismatch));
    }
    std::printf("\nresident   ");
    for (std::size_t i = 0; i < rss.size(); ++i) {
        std::printf("%s%.2f", i == 0 ? "" : " ", static_cast<double>(rss[i]) / (1024.0 * 1024.0));
    }
    std::printf(" MiB (after a minute, every hour, at the end)\n");

    // Nothing is allocated while rendering. The first hour still faults in a
    // few pages of code and libraries on paths the first minute did not take;
    // from then on there is no growth.
    const bool pastAnHour = rss.size() > 2;
    const std::size_t settled = pastAnHour ? rss[1] : rss.front();
    const bool memoryFlat = rss.back() <= settled + (pastAnHour ? 64 : 256) * 1024;
    if (!memoryFlat) {
        std::printf("FAIL: resident memory grew\n");
    }
    if (mismatched > 0) {
        std::printf("FAIL: the output left the looping buffers' positions\n");
    }
    return memoryFlat && mismatched == 0 ? 0 : 1;
}
