// Start-up cost of the program beside the least Qt Widgets program with the
// same kind of window (MinimalWindow.cpp): the time from the fork of the
// process to the first map of its window, and the process's peak resident
// memory. The map is seen from outside, by an X client that watches the root
// window of a private Xvfb for MapNotify, so the program needs no hook. The
// program runs from a temporary copy of its directory with the tone files and
// a complete setting.ini, as after a first run, and again with setting.ini of
// 0 bytes, 1 MB, the largest size it reads (iniEdit::kMaxFileBytes) and one
// byte more, which it refuses: the program's entries come last, after
// sections of somebody else's, so that every look-up scans the whole file.
//
// Run: build/default/bench/app_startup_bench   (Xvfb must be installed)

#include "iniEdit.h"

#include <benchmark/benchmark.h>
#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <fstream>
#include <poll.h>
#include <signal.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#include <xcb/xcb.h>

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

xcb_connection_t* g_x = nullptr;
pid_t g_xvfb = -1;
fs::path g_programDir;

// Starts Xvfb on a display it picks itself and points DISPLAY at it.
bool startXvfb() {
    int fds[2];
    if (pipe(fds) != 0) {
        return false;
    }
    g_xvfb = fork();
    if (g_xvfb == 0) {
        close(fds[0]);
        const std::string fd = std::to_string(fds[1]);
        execlp("Xvfb", "Xvfb", "-displayfd", fd.c_str(), "-screen", "0", "640x480x24", "-nolisten",
               "tcp", static_cast<char*>(nullptr));
        _exit(127);
    }
    close(fds[1]);
    std::string number;
    char c = 0;
    while (read(fds[0], &c, 1) == 1 && c != '\n') {
        number += c;
    }
    close(fds[0]);
    if (number.empty()) {
        return false;
    }
    const std::string display = ":" + number;
    setenv("DISPLAY", display.c_str(), 1);
    g_x = xcb_connect(display.c_str(), nullptr);
    if (xcb_connection_has_error(g_x) != 0) {
        return false;
    }
    // Every window mapped on the screen reports here.
    const xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(g_x)).data;
    const std::uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
    xcb_change_window_attributes(g_x, screen->root, XCB_CW_EVENT_MASK, &mask);
    xcb_flush(g_x);
    return true;
}

void stopXvfb() {
    if (g_x != nullptr) {
        xcb_disconnect(g_x);
    }
    if (g_xvfb > 0) {
        kill(g_xvfb, SIGTERM);
        waitpid(g_xvfb, nullptr, 0);
    }
}

// A copy of the program directory: the program, its tones and settings.
bool makeProgramDir() {
    char pattern[] = "/tmp/vemba-startup-XXXXXX";
    if (mkdtemp(pattern) == nullptr) {
        return false;
    }
    g_programDir = pattern;
    const fs::path built(VEMBA_PROGRAM_DIR);
    std::error_code error;
    fs::copy_file(built / "vemba-pc", g_programDir / "vemba-pc", error);
    for (const fs::directory_entry& entry : fs::directory_iterator(built)) {
        if (entry.path().extension() == ".wav") {
            fs::copy_file(entry.path(), g_programDir / entry.path().filename(), error);
        }
    }
    return !error;
}

const std::string kEntries =
    "[Sound1]\nActive=0\nFreq=1\n[Sound2]\nActive=1\nFreq=1\n[Sound3]\nActive=0\nFreq=1\n"
    "[WaveForm]\nForm=0\n[Volume]\nV=5\n";

// A setting.ini of `bytes` bytes (the program's entries alone where that is
// less), or an empty one for 0.
std::string settingsOfSize(std::size_t bytes) {
    if (bytes == 0) {
        return {};
    }
    std::string text;
    for (int i = 0; text.size() + kEntries.size() < bytes; ++i) {
        text += "[S" + std::to_string(i) + "]\r\nK=" + std::string(60, 'x') + "\r\n";
    }
    text.resize(bytes > kEntries.size() ? bytes - kEntries.size() : 0, ';');
    return text + kEntries;
}

struct Launch {
    double secondsToMap = -1;
    double peakMiB = 0;
};

// Forks and runs `program` until its first top-level window is mapped (or
// ten seconds pass), lets it paint for a moment and kills it; the peak
// resident size comes from wait4().
Launch launch(const std::string& program) {
    while (xcb_generic_event_t* stale = xcb_poll_for_event(g_x)) {
        std::free(stale);
    }
    Launch result;
    const Clock::time_point start = Clock::now();
    const pid_t child = fork();
    if (child == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, STDOUT_FILENO);
        dup2(null, STDERR_FILENO);
        setenv("QT_QPA_PLATFORM", "xcb", 1);
        // Start-up opens no sound device; no audio server is waited for.
        setenv("SDL_AUDIODRIVER", "dummy", 1);
        execl(program.c_str(), program.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    const Clock::time_point limit = start + std::chrono::seconds(10);
    pollfd x{xcb_get_file_descriptor(g_x), POLLIN, 0};
    while (result.secondsToMap < 0 && Clock::now() < limit) {
        poll(&x, 1, 50);
        while (xcb_generic_event_t* event = xcb_poll_for_event(g_x)) {
            if ((event->response_type & 0x7F) == XCB_MAP_NOTIFY &&
                reinterpret_cast<xcb_map_notify_event_t*>(event)->override_redirect == 0 &&
                result.secondsToMap < 0) {
                result.secondsToMap = std::chrono::duration<double>(Clock::now() - start).count();
            }
            std::free(event);
        }
    }
    usleep(300 * 1000);
    kill(child, SIGKILL);
    int status = 0;
    rusage usage{};
    wait4(child, &status, 0, &usage);
    result.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return result;
}

void measure(benchmark::State& state, const std::string& program, const std::string& settings) {
    for (auto _ : state) {
        // The program writes back what it restores: every run starts alike.
        std::ofstream(g_programDir / "setting.ini", std::ios::binary | std::ios::trunc) << settings;
        const Launch run = launch(program);
        if (run.secondsToMap < 0) {
            state.SkipWithError("no window was mapped within 10 s");
            break;
        }
        state.SetIterationTime(run.secondsToMap);
        state.counters["peak_rss_MiB"] = run.peakMiB;
    }
}

} // namespace

int main(int argc, char** argv) {
    if (!startXvfb()) {
        std::fprintf(stderr, "could not start Xvfb\n");
        stopXvfb();
        return 1;
    }
    if (!makeProgramDir()) {
        std::fprintf(stderr, "could not copy the program directory\n");
        stopXvfb();
        return 1;
    }
    const std::string vemba = (g_programDir / "vemba-pc").string();
    const auto bound = static_cast<std::size_t>(vemba::iniEdit::kMaxFileBytes);
    const struct {
        std::string name, path, settings;
    } runs[] = {
        {"BM_StartUp/vemba-pc", vemba, kEntries},
        {"BM_StartUp/minimal_window", VEMBA_MINIMAL_WINDOW, {}},
        {"BM_StartUp/vemba-pc/setting.ini:0", vemba, settingsOfSize(0)},
        {"BM_StartUp/vemba-pc/setting.ini:1MB", vemba, settingsOfSize(1000 * 1000)},
        {"BM_StartUp/vemba-pc/setting.ini:4MiB", vemba, settingsOfSize(bound)},
        {"BM_StartUp/vemba-pc/setting.ini:4MiB+1(refused)", vemba, settingsOfSize(bound + 1)},
    };
    for (const auto& run : runs) {
        benchmark::RegisterBenchmark(run.name.c_str(), measure, run.path, run.settings)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond)
            ->Iterations(1)
            ->Repetitions(11)
            ->ReportAggregatesOnly(true);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    stopXvfb();
    std::error_code error;
    fs::remove_all(g_programDir, error);
    return 0;
}
