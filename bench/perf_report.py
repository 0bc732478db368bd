#!/usr/bin/env python3
"""Measures everything in docs/performance.md in one run and writes it.

Usage: bench/perf_report.py BUILD_DIR OUT_DIR   (run by scripts/perf-report)

Everything plays into one private PulseAudio server with a null sink
(tests/support/pulse-fixture), so the server's share is comparable between
players. CPU time and wake-ups come from proc_sampler (bench/proc_sampler.cpp).
"""

import json
import os
import platform
import re
import shutil
import signal
import statistics
import subprocess
import sys
import tempfile
import time

ROOT = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
BUILD = os.path.abspath(sys.argv[1])
OUT = os.path.abspath(sys.argv[2])
PLOTS = os.path.join(OUT, "performance")
SECONDS = int(os.environ.get("VEMBA_PERF_SECONDS", "20"))
SETTLE = 3
# The three channels' middle tones: 30 Hz, 7.5 kHz and 450 Hz.
FILES = [os.path.join(BUILD, name) for name in ("30.wav", "7500.wav", "450.wav")]
WORK = tempfile.mkdtemp(prefix="vemba-perf-")


def log(text):
    print("perf-report: " + text, file=sys.stderr, flush=True)


def tool(name):
    return os.path.join(BUILD, "bench", name)


def start_server():
    subprocess.run([os.path.join(ROOT, "tests/support/pulse-fixture"), "start", WORK], check=True)
    os.environ["PULSE_SERVER"] = "unix:" + os.path.join(WORK, "native")
    with open(os.path.join(WORK, "pid")) as f:
        return int(f.read())


def sample(seconds, groups):
    """Runs proc_sampler over {name: [pid...]}; per-second rows and totals."""
    args = [tool("proc_sampler"), str(seconds)]
    args += ["%s=%s" % (name, ",".join(map(str, pids))) for name, pids in groups.items()]
    out = subprocess.run(args, check=True, capture_output=True, text=True).stdout
    series = {name: [] for name in groups}
    totals = {}
    for line in out.splitlines():
        when, name, cpu, wakeups = line.split()
        if when == "total":
            totals[name] = (float(cpu), float(wakeups))
        else:
            series[name].append((int(when), float(cpu), float(wakeups)))
    return series, totals


def stop(processes):
    for p in processes:
        if p.poll() is None:
            p.send_signal(signal.SIGTERM)
    for p in processes:
        try:
            p.wait(timeout=5)
        except subprocess.TimeoutExpired:
            p.kill()
            p.wait()


def measure_players(name, commands, server, idle_cpu):
    """Starts the commands, lets them settle and samples them with the server."""
    log("measuring " + name)
    procs = [subprocess.Popen(c, stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL,
                              start_new_session=True) for c in commands]
    time.sleep(SETTLE)
    series, totals = sample(SECONDS, {"client": [p.pid for p in procs], "server": [server]})
    for p in procs:
        # A shell loop's children go with its session.
        try:
            os.killpg(p.pid, signal.SIGTERM)
        except ProcessLookupError:
            pass
    stop(procs)
    time.sleep(1)
    return row(name, totals, idle_cpu), series


def row(name, totals, idle_cpu):
    client_cpu, client_wakeups = totals["client"]
    server_cpu = max(0.0, totals["server"][0] - idle_cpu)
    return {"name": name, "client": client_cpu, "server": server_cpu,
            "total": client_cpu + server_cpu, "wakeups": client_wakeups}


def measure_ours(server, idle_cpu):
    """The real window playing three channels, then switched OFF."""
    log("measuring the program, ON then OFF")
    env = dict(os.environ, QT_QPA_PLATFORM="offscreen")
    p = subprocess.Popen([tool("app_switch_bench"), "--hold"], stdin=subprocess.PIPE,
                         stdout=subprocess.PIPE, stderr=subprocess.DEVNULL, text=True, env=env)

    def say(command):
        p.stdin.write(command + "\n")
        p.stdin.flush()
        return p.stdout.readline().strip()

    if p.stdout.readline().strip() != "ready" or say("on") != "on":
        stop([p])
        raise SystemExit("the program did not start playing")
    time.sleep(SETTLE)
    on_series, on = sample(SECONDS, {"client": [p.pid], "server": [server]})
    say("off")
    time.sleep(SETTLE)
    off_series, off = sample(SECONDS, {"client": [p.pid], "server": [server]})
    say("quit")
    p.wait(timeout=10)
    return (row("ヴェンバPC, ON", on, idle_cpu), row("ヴェンバPC, OFF after playing", off, idle_cpu),
            on_series, off_series)


def candidates(server, idle_cpu):
    """A bare SDL player at each period and format: what SDL's own driver costs."""
    runs = [(1024, "f32"), (2048, "f32"), (3072, "f32"), (3072, "s16"), (4096, "f32")]
    rows = []
    for frames, fmt in runs:
        command = ["env", "SDL_AUDIODRIVER=pulseaudio", tool("sdl_output_candidates"),
                   str(frames), fmt, "600"] + FILES
        r, _ = measure_players("SDL's PulseAudio driver, %d frames, %s" % (frames, fmt),
                               [command], server, idle_cpu)
        rows.append(r)
    return rows


# Request and sink share in ms; the program's own choice is marked.
QUEUES = [(50, 20), (100, 40), (250, 80), (250, 160), (500, 200)]


def queues(server, idle_cpu):
    """The mixer on a libpulse stream with each request size and sink share."""
    ours = own_queue()
    rows = []
    for request, sink in QUEUES:
        command = [tool("pulse_queue_candidates"), str(request), str(sink), "600"] + FILES
        name = "request %d ms, sink %d ms%s" % (
            request, sink, " (the program's)" if (request, sink) == ours else "")
        r, _ = measure_players(name, [command], server, idle_cpu)
        rows.append(r)
    return rows


def google_benchmark(binary, *args):
    out = subprocess.run([binary, "--benchmark_format=json", *args], check=True,
                         capture_output=True, text=True).stdout
    return json.loads(out)["benchmarks"]


def aggregate(benchmarks, name, kind):
    for b in benchmarks:
        run = b.get("run_name", "")
        if (run == name or run.startswith(name + "/")) and b.get("aggregate_name") == kind:
            return b
    raise KeyError(name + " " + kind)


def latencies():
    log("measuring click-to-heard latency")
    os.environ["SDL_AUDIODRIVER"] = "pulseaudio"  # the program's own stream, never SDL's
    runs = google_benchmark(tool("app_switch_bench"))
    del os.environ["SDL_AUDIODRIVER"]
    out = []
    for name, label in (("heard/ON", "ON"), ("heard/OFF", "OFF"),
                        ("heard/volume_step", "volume step")):
        out.append((label, aggregate(runs, name, "median")["real_time"],
                    aggregate(runs, name, "max")["real_time"]))
    return out


def start_up():
    log("measuring start-up")
    b = google_benchmark(tool("app_startup_bench"))
    out = []
    for name, label in (("BM_StartUp/vemba-pc", "ヴェンバPC"),
                        ("BM_StartUp/minimal_window", "minimal Qt window of the same kind")):
        median = aggregate(b, name, "median")
        out.append((label, median["real_time"], median["peak_rss_MiB"]))
    return out


def settings_write():
    log("measuring WriteSetting")
    b = google_benchmark(tool("settings_write_bench"), "--benchmark_filter=writeOneSetting")
    return [(x["name"].split("/")[1], x["real_time"], x["time_unit"]) for x in b]


def tones():
    log("measuring the tone files against sox synth")
    others = os.path.join(WORK, "sox-tones")
    spectra = os.path.join(WORK, "spectra")
    os.makedirs(others)
    os.makedirs(spectra)
    listing = subprocess.run([tool("tone_quality"), "--list", BUILD], check=True,
                             capture_output=True, text=True).stdout
    for line in listing.splitlines():
        name, shape, hz, frames, peak = line.split()
        subprocess.run(["sox", "-n", "-r", "48000", "-b", "16", "-c", "2",
                        os.path.join(others, name), "synth", frames + "s", shape, hz,
                        "gain", "-n", peak], check=True)
    out = subprocess.run([tool("tone_quality"), BUILD, others, spectra], check=True,
                         capture_output=True, text=True).stdout
    return [line.split() for line in out.splitlines()], spectra


def gnuplot(script):
    subprocess.run(["gnuplot"], input=script, text=True, check=True)


# Japanese captions need a font that has them (fonts-ipafont-gothic).
TERMINAL = "set terminal png size 800,400 font '/usr/share/fonts/opentype/ipafont-gothic/ipag.ttf,10'"


def plot_cpu(series_by_player):
    """Client plus server CPU, second by second, one line per player."""
    data = os.path.join(WORK, "cpu.dat")
    with open(data, "w") as f:
        for name, series in series_by_player:
            f.write('"%s"\n' % name)
            for (t, c, _), (_, s, _) in zip(series["client"], series["server"]):
                f.write("%d %.3f\n" % (t, c + s))
            f.write("\n\n")
    plots = ", ".join("'%s' index %d using 1:2 with linespoints title columnheader(1)"
                      % (data, i) for i in range(len(series_by_player)))
    gnuplot("""%s
set output '%s/cpu.png'
set xlabel 'seconds'
set ylabel 'CPU, client + server, %% of one core'
set key top right
set yrange [0:*]
plot %s
""" % (TERMINAL, PLOTS, plots))


def plot_spectra(spectra):
    for name, hz in (("450.wav", 450), ("t7500.wav", 7500)):
        gnuplot("""%s
set output '%s/spectrum-%s.png'
set logscale x
set xrange [20:24000]
set yrange [-160:0]
set xlabel 'Hz'
set ylabel 'dBFS'
set title '%s (%g Hz): ours against sox synth'
plot '%s/%s.others' using 1:2 with lines title 'sox synth', \\
     '%s/%s.ours' using 1:2 with lines title 'ours'
""" % (TERMINAL, PLOTS, name.replace(".wav", ""), name, hz, spectra, name, spectra,
       name))


def own_queue():
    """The program's request and sink share in ms, as PulseStream.h sets them."""
    with open(os.path.join(ROOT, "sound/backend/PulseStream.h")) as f:
        text = f.read()
    frames = [int(re.search(r"%s = (\d+);" % name, text).group(1))
              for name in ("kRequestFrames", "kSinkFrames")]
    return tuple(f * 1000 // 48000 for f in frames)


def pct(x):
    return "%.2f %%" % x


def main():
    os.makedirs(PLOTS, exist_ok=True)
    server = start_server()
    try:
        log("measuring the idle server")
        _, idle = sample(SECONDS, {"server": [server]})
        idle_cpu = idle["server"][0]
        ours_on, ours_off, on_series, off_series = measure_ours(server, idle_cpu)
        # SoX as Debian installs it plays through ALSA (into this server by
        # the pulse plugin); its own PulseAudio driver is measured beside it.
        sox, sox_series = measure_players(
            "SoX `play FILE repeat 9999` ×3 (ALSA, its default)",
            [["env", "AUDIODRIVER=alsa", "play", f, "repeat", "9999"] for f in FILES], server,
            idle_cpu)
        sox_pulse, _ = measure_players(
            "SoX `play FILE repeat 9999` ×3 (its PulseAudio driver)",
            [["env", "AUDIODRIVER=pulseaudio", "play", f, "repeat", "9999"] for f in FILES],
            server, idle_cpu)
        paplay, paplay_series = measure_players(
            "`paplay FILE` in a loop ×3",
            [["bash", "-c", 'while :; do paplay "$0"; done', f] for f in FILES], server,
            idle_cpu)
        sweep = candidates(server, idle_cpu)
        queue_rows = queues(server, idle_cpu)
        heard = latencies()
    finally:
        subprocess.run([os.path.join(ROOT, "tests/support/pulse-fixture"), "stop", WORK])
    startup = start_up()
    writes = settings_write()
    tone_rows, spectra = tones()
    # Ours runs on into its OFF phase, which the others do not have.
    gap = SECONDS + SETTLE
    ours = {k: on_series[k] + [(t + gap, c, w) for t, c, w in off_series[k]]
            for k in on_series}
    plot_cpu([("ヴェンバPC (OFF from %d s)" % gap, ours), ("SoX play ×3", sox_series),
              ("paplay loop ×3", paplay_series)])
    plot_spectra(spectra)
    write_report(idle_cpu, [ours_on, ours_off, sox, sox_pulse, paplay], sweep, queue_rows, heard,
                 startup, writes, tone_rows, sox)
    shutil.rmtree(WORK, ignore_errors=True)


def table(add, first, rows):
    add("| %s | client CPU | server CPU above idle | total | client wake-ups/s |" % first)
    add("|---|---|---|---|---|")
    for r in rows:
        add("| %s | %s | %s | %s | %.0f |" % (r["name"], pct(r["client"]), pct(r["server"]),
                                            pct(r["total"]), r["wakeups"]))


def write_report(idle_cpu, players, sweep, queue_rows, heard, startup, writes, tone_rows, sox):
    ours = players[0]
    budget = sox["total"] / 2
    lines = []
    add = lines.append
    add("# Performance")
    add("")
    add("Every figure below was measured in one run by `scripts/perf-report`, on %s "
        "(%d cores, %s), on %s. Run it again to reproduce them; it takes some nine minutes."
        % (platform.node() or "this machine", os.cpu_count(), platform.release(),
           time.strftime("%Y-%m-%d")))
    add("")
    add("## While playing: CPU and wake-ups")
    add("")
    add("Three channels (30 Hz, 450 Hz and 7.5 kHz, sine) play into a private PulseAudio "
        "server with a float32 null sink at 48000 Hz, %d s each, after %d s to settle. "
        "CPU is a percentage of one core from the scheduler's own count of each thread "
        "(`/proc/<pid>/task/*/schedstat`); the server's share is its CPU above its idle "
        "figure (%s); wake-ups are the client's voluntary and involuntary context switches "
        "per second, over all its threads and child processes." % (SECONDS, SETTLE,
                                                                     pct(idle_cpu)))
    add("")
    table(add, "", players)
    add("")
    verdict = "met" if ours["total"] <= budget and ours["wakeups"] <= 150 else "**not met**"
    add("Goal: total at most half of SoX ×3 through its default driver (%s), at most 150 "
        "wake-ups a second: %s (%s, %.0f/s)." % (pct(budget), verdict, pct(ours["total"]),
                                                 ours["wakeups"]))
    add("")
    add("![CPU over time](performance/cpu.png)")
    add("")
    add("## Choosing the stream")
    add("")
    add("SDL's PulseAudio driver first: the same three files mixed by a bare SDL program "
        "(`bench/sdl_output_candidates.cpp`) with the period and sample format of each row, "
        "same server, same run:")
    add("")
    table(add, "period, format", sweep)
    add("")
    add(SDL_CHOICE)
    add("")
    add("The same files through the program's mixer on a libpulse stream "
        "(`bench/pulse_queue_candidates.cpp`), with each request size and sink share, "
        "same server, same run:")
    add("")
    table(add, "queue", queue_rows)
    add("")
    add(QUEUE_CHOICE)
    if ours["total"] > budget:
        add("")
        add(SHORTFALL)
    add("")
    add("## Click to heard")
    add("")
    add("From a click on the window to the change at the null sink's monitor, recorded by "
        "`parec`: the arrival of the first 2.5 ms of the recording whose level is halfway from "
        "the old level to the new one (the ramps take 10 ms). The null sink renders in bursts, "
        "so a frame's own moment is not known; taking its arrival counts parec's buffering "
        "(up to 20 ms) against us. \"ON\" starts from a closed stream, as after a while OFF; "
        "the 7.5 kHz channel plays alone, its level steady within 2.5 ms. 15 clicks each "
        "(`bench/app_switch.cpp`), through the program's own stream.")
    add("")
    add("| click | median | worst |")
    add("|---|---|---|")
    for label, median, worst in heard:
        add("| %s | %.0f ms | %.0f ms |" % (label, median, worst))
    add("")
    verdict = "met" if max(w for _, _, w in heard) <= 150 else "**not met**"
    add("Goal: at most 150 ms: %s." % verdict)
    add("")
    add("## Start-up and memory")
    add("")
    add("From the fork to the first map of the window, seen by an X client on a private Xvfb, "
        "and the process's peak resident memory; median of 11 starts "
        "(`bench/app_startup.cpp`). The yardstick is a minimal Qt Widgets program with the "
        "same kind of window: menu, Japanese captions, check boxes, option buttons and a "
        "slider (`bench/MinimalWindow.cpp`).")
    add("")
    add("| program | to first map | peak memory |")
    add("|---|---|---|")
    for label, ms, mib in startup:
        add("| %s | %.0f ms | %.1f MiB |" % (label, ms, mib))
    add("")
    add("Before the audio backend became a module loaded at the first \"ON\" "
        "(`vemba-pc-audio.so`), and SDL one loaded only where no PulseAudio server answers "
        "(`vemba-pc-sdl-audio.so`), the program loaded 81 shared libraries against the minimal "
        "window's 48 and took 39 against 30 ms and 34.8 against 31.6 MiB; it now loads 50, the "
        "two more being chmlib for the help and the thread library it brings.")
    add("")
    add("## WriteSetting")
    add("")
    add("One `WriteSetting`, including the fsync of the file and of its directory, on a "
        "settings file with the program's entries and as many extra lines "
        "(`bench/settings_write_bench.cpp`):")
    add("")
    add("| extra lines | latency |")
    add("|---|---|")
    for lines_, value, unit in writes:
        add("| %s | %.2f %s |" % (lines_, value, unit))
    add("")
    add("## Tone files against `sox synth`")
    add("")
    add("Each single-tone file beside the same tone made by `sox -n -r 48000 -b 16 synth "
        "<same length> sine|triangle <Hz> gain -n <same peak>`, measured alike "
        "(`bench/tone_quality.cpp`, the measurements of the tone tests): the strongest "
        "component that is not the tone (nor, for a triangle, one of its odd harmonics) "
        "against the tone, and the step from the last sample back to the first against the "
        "largest step inside the file (16-bit units). A seam step no larger than the inner "
        "steps is inaudible.")
    add("")
    add("| file | spurious, ours | spurious, sox | seam step, ours | seam step, sox "
        "| largest inner step, ours | sox |")
    add("|---|---|---|---|---|---|---|")
    for name, so, ss, seo, ses, io, is_ in tone_rows:
        add("| %s | %s dB | %s dB | %s | %s | %s | %s |" % (name, so, ss, seo, ses, io, is_))
    add("")
    add("![450 Hz sine](performance/spectrum-450.png)")
    add("")
    add("![7.5 kHz triangle](performance/spectrum-t7500.png)")
    add("")
    with open(os.path.join(OUT, "performance.md"), "w") as f:
        f.write("\n".join(lines))


SDL_CHOICE = """SDL's PulseAudio driver asks the server for a target length of one
period, which the server requests in quarters, and a click waits for the
next callback and then behind the period queued at the server: one to two
periods. Within 150 ms that allows 3072 frames at most, and there the
server's share alone is about what three SoX processes cost in all. Float
is what the mixer renders and what PipeWire and float sinks mix in, so no
one converts; 16 bits gains nothing. SDL 2.26 lets a program choose neither
the request size nor the target length, so the program keeps SDL only where
no PulseAudio server answers (PipeWire without its pulse server, ALSA)."""

QUEUE_CHOICE = """With a stream of its own the program chooses both. The server wakes to
mix the sink once per sink share and wakes us once per request, so both
want to be long; a target length of two requests plus the sink's share,
without latency adjustment, gives the sink exactly that share. A long queue
would be heard late after a click, so every change rewrites it: the program
asks where the sink reads, goes back to the mixer's saved state at the next
block past that point and renders the rest of the queue again, the change
included (`sound/backend/PulseStream.h`). What is left of a click's delay is the
sink's share, so the program takes 250 ms requests and an 80 ms share: a
longer share costs the server somewhat less and is heard that much later.
Float again."""

SHORTFALL = """In this run the CPU goal is not met."""


main()
