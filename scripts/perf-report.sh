#!/usr/bin/env bash
# Measures the whole program (docs/performance.md, "The whole program"):
#
#   startup  process start to the window's first frame, a cold start (empty
#            QML disk cache) and warm starts; wall clock and processor time
#   cpu      the program's processor time while it shows the simulator's live
#            data (two records a second, every chart fed, the laser emitting)
#            over 60 s
#   memory   resident memory after start and every 15 s for some minutes, with
#            a straight-line extrapolation to one hour
#   frames   the frames while the charts move and the operator types into an
#            input (mouse resting on a chart): frame times, the longest wait of
#            the user-interface thread, key press to frame
#   journal  the disk writes (write_bytes of /proc/<pid>/io) while the session
#            journal records the live data, extrapolated to MiB an hour; the
#            journal's folder must be on a disk (tmpfs counts nothing)
#
# Everything runs on a private Xvfb desktop (tests/e2e/ui/orrindel_ui.py);
# connecting goes through the accessibility bus as in the end-to-end tests,
# so the live runs carry Qt's accessibility bridge. Start-up runs without it.
#
#   scripts/perf-report.sh                       # everything, the program's own choice
#   scripts/perf-report.sh --only startup --startups 20
#   scripts/perf-report.sh --backends software --soak-minutes 10
#   scripts/perf-report.sh --only journal --journal-minutes 10
#   scripts/perf-report.sh --quick               # short runs, for a try
#
# Binaries: $BUILD_DIR/bin (default build/), or ORRINDEL_BIN and ORRINDEL_SIM.
# The machine is shared: the load average is printed with every figure.
set -euo pipefail
source "$(dirname "$0")/program_binaries.sh" perf-report

exec /usr/bin/python3 - "$source_dir" "$@" <<'PYTHON'
import argparse
import os
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

source_dir = sys.argv[1]
sys.path.insert(0, os.path.join(source_dir, "tests", "e2e", "ui"))
sys.path.insert(0, os.path.join(source_dir, "scripts"))
import orrindel_ui  # noqa: E402
from proc_stats import cpu_seconds, load, memory_kib, write_bytes  # noqa: E402

# QT_QUICK_BACKEND values; "" leaves the choice to the program (software
# scene graph on a software rasteriser, OpenGL with a graphics driver).
BACKENDS = {"default": "", "software": "software", "opengl": "opengl"}
INT_CTRL = ("激光内控", "LaserInternalControl")
PEAK = "峰值功率(%):"
OPTICAL_CHART = ("光感曲线", "OpticalChart")
SIM_ARGS = ["--mode", "external", "--analog", "60", "--gate"]


def parse_args():
    parser = argparse.ArgumentParser(prog="perf-report.sh")
    parser.add_argument("--only", action="append",
                        choices=["startup", "cpu", "memory", "frames", "journal"],
                        help="measure only this (repeatable); cpu and memory share one run")
    parser.add_argument("--backends", default="default",
                        help="scene graphs, comma-separated: default (the program's "
                             "choice), software, opengl (Mesa under Xvfb)")
    parser.add_argument("--startups", type=int, default=10, help="warm starts per scene graph")
    parser.add_argument("--cpu-seconds", type=float, default=60)
    parser.add_argument("--soak-minutes", type=float, default=5)
    parser.add_argument("--type-seconds", type=float, default=60)
    parser.add_argument("--journal-minutes", type=float, default=5)
    parser.add_argument("--quick", action="store_true",
                        help="3 starts, 20 s of processor time, 1 minute of memory, 20 s typing, "
                             "1 minute of journal writes")
    args = parser.parse_args(sys.argv[2:])
    if args.quick:
        args.startups, args.cpu_seconds, args.soak_minutes, args.type_seconds = 3, 20, 1, 20
        args.journal_minutes = 1
    args.parts = set(args.only or ["startup", "cpu", "memory", "frames", "journal"])
    args.backends = [b.strip() for b in args.backends.split(",") if b.strip()]
    for backend in args.backends:
        if backend not in BACKENDS:
            parser.error("unknown scene graph %r" % backend)
    return args


def percentile(values, p):
    ordered = sorted(values)
    return ordered[min(len(ordered) - 1, int(p * (len(ordered) - 1) + 0.5))]


def describe(values, unit="ms"):
    if not values:
        return "none"
    return "median %.1f %s, p90 %.1f, p99 %.1f, max %.1f (n=%d)" % (
        statistics.median(values), unit, percentile(values, 0.9), percentile(values, 0.99),
        max(values), len(values))


def read_log(path):
    """The lines of an ORRINDEL_PERF_LOG file as (kind, [numbers])."""
    entries = []
    try:
        with open(path) as f:
            for line in f:
                parts = line.split()
                if len(parts) >= 2:
                    try:
                        entries.append((parts[0], [float(v) for v in parts[1:]]))
                    except ValueError:
                        pass
    except FileNotFoundError:
        pass
    return entries


def private_dirs(root):
    """XDG folders of one run: the QML disk cache, the session journal and the
    settings stay out of the user's own."""
    dirs = {}
    for name in ("XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_CONFIG_HOME"):
        dirs[name] = os.path.join(root, name.lower())
        os.makedirs(dirs[name], exist_ok=True)
    return dirs


# --------------------------------------------------------------------------
# Start-up

class PlainX:
    """An Xvfb of its own for the start-ups: no session bus, no accessibility
    bus, and the end-to-end desktop stays untouched."""

    def __enter__(self):
        read_end, write_end = os.pipe()
        self.proc = subprocess.Popen(
            ["Xvfb", "-displayfd", str(write_end), "-screen", "0", "1920x1080x24",
             "-nolisten", "tcp"], pass_fds=[write_end], stdin=subprocess.DEVNULL,
            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
        os.close(write_end)
        number = b""
        while not number.endswith(b"\n"):
            chunk = os.read(read_end, 16)
            if not chunk:
                raise RuntimeError("Xvfb did not start")
            number += chunk
        os.close(read_end)
        self.display = ":" + number.decode().strip()
        return self

    def __exit__(self, *exc):
        self.proc.terminate()
        self.proc.wait()

    def env(self):
        env = dict(os.environ)
        for var in ("AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY", "XAUTHORITY"):
            env.pop(var, None)
        env["DISPLAY"] = self.display
        # No session bus at all (and none started on demand): start-up as on
        # a desktop without assistive tools.
        env["DBUS_SESSION_BUS_ADDRESS"] = "disabled:"
        return env


def one_start(desk, backend, xdg, workdir):
    """Seconds from launching the process to its first frame, and the part of
    it inside the program (from runApplication)."""
    log = os.path.join(workdir, "perf.log")
    if os.path.exists(log):
        os.remove(log)
    env = desk.env()
    env.update(xdg)
    env.update({"QT_QPA_PLATFORM": "xcb", "QT_QUICK_BACKEND": BACKENDS[backend],
                "ORRINDEL_PERF_LOG": log})
    with open(os.path.join(workdir, "config.ini"), "w") as f:
        f.write("[General]\nlanguage=cn\ntheme=dark\n")
    launched = time.time()
    proc = subprocess.Popen([os.environ["ORRINDEL_BIN"]], cwd=workdir, env=env,
                            stdin=subprocess.DEVNULL, stdout=subprocess.DEVNULL,
                            stderr=subprocess.DEVNULL)
    try:
        deadline = time.monotonic() + 60
        while time.monotonic() < deadline:
            first = [v for k, v in read_log(log) if k == "first-frame"]
            if first:
                # Processor time hardly grows with the machine's load, the
                # wall clock does: both are reported. Read up to 10 ms late.
                return (first[0][0] / 1000 - launched, first[0][1] / 1000,
                        cpu_seconds(proc.pid))
            if proc.poll() is not None:
                raise RuntimeError("the program ended (code %s) before its first frame"
                                   % proc.returncode)
            time.sleep(0.01)
        raise RuntimeError("no first frame within 60 s")
    finally:
        proc.terminate()
        try:
            proc.wait(10)
        except subprocess.TimeoutExpired:
            proc.kill()
            proc.wait()


def measure_startup(args):
    print("\n## Start-up: process start to the first frame")
    with PlainX() as desk:
        for backend in args.backends:
            startups(args, desk, backend)


def startups(args, desk, backend):
    """A cold start (empty QML disk cache) and args.startups warm ones."""
    root = tempfile.mkdtemp(prefix="orrindel-perf-start-")
    try:
        xdg = private_dirs(root)
        cold, cold_main, cold_cpu = one_start(desk, backend, xdg, root)
        warm, warm_main, warm_cpu = [], [], []
        for _ in range(args.startups):
            total, inside, cpu = one_start(desk, backend, xdg, root)
            warm.append(total * 1000)
            warm_main.append(inside * 1000)
            warm_cpu.append(cpu * 1000)
        print("%-9s cold (empty QML cache): %.0f ms (in the program %.0f ms), processor "
              "time %.0f ms" % (backend, cold * 1000, cold_main * 1000, cold_cpu * 1000))
        print("%-9s warm, %d starts: median %.0f ms, range %.0f to %.0f ms; in the program "
              "median %.0f ms; processor time median %.0f ms, range %.0f to %.0f ms   [load %s]"
              % (backend, len(warm), statistics.median(warm), min(warm), max(warm),
                 statistics.median(warm_main), statistics.median(warm_cpu), min(warm_cpu),
                 max(warm_cpu), load()))
    finally:
        shutil.rmtree(root, ignore_errors=True)


# --------------------------------------------------------------------------
# Live runs against the simulator

def start_live(backend, extra_env):
    root = tempfile.mkdtemp(prefix="orrindel-perf-live-")
    env = private_dirs(root)
    env.update({"QT_QUICK_BACKEND": BACKENDS[backend],
                "ORRINDEL_PERF_LOG": os.path.join(root, "perf.log")})
    env.update(extra_env)
    # The laser emits 60 % of its power (external mode, gate on), so every
    # value and every curve moves, not only the time axes.
    ui = orrindel_ui.Orrindel(language="cn", theme="dark", env=env, sim_args=SIM_ARGS)
    ui.start()
    ui.perf_root = root
    ui.perf_log = env["ORRINDEL_PERF_LOG"]
    ui.connect_simulator()
    ui.sim.wait_for_stderr("client connected")
    ui.wait_for_live_values()
    return ui


def stop_live(ui):
    try:
        ui.stop()
    finally:
        shutil.rmtree(ui.perf_root, ignore_errors=True)


def measure_cpu_and_memory(args, desk, backend):
    ui = start_live(backend, {})
    try:
        pid = ui.program.pid
        xvfb = desk._xvfb.pid
        time.sleep(5)
        started = time.monotonic()
        samples = [(0.0, memory_kib(pid))]
        print("\n## %s scene graph: live data, two records a second" % backend)
        print("resident after connecting: %.1f MiB (anonymous %.1f MiB)   [load %s]"
              % (samples[0][1]["VmRSS"] / 1024, samples[0][1]["RssAnon"] / 1024, load()))
        if "cpu" in args.parts:
            cpu0, x0, t0 = cpu_seconds(pid), cpu_seconds(xvfb), time.monotonic()
            load_before = load()
            time.sleep(args.cpu_seconds)
            elapsed = time.monotonic() - t0
            share = (cpu_seconds(pid) - cpu0) / elapsed
            xshare = (cpu_seconds(xvfb) - x0) / elapsed
            frames = [v[1] for k, v in read_log(ui.perf_log) if k == "frame"]
            print("processor time over %.0f s: %.1f %% of a core (Xvfb %.1f %%); "
                  "%.1f frames a second   [load %s -> %s]"
                  % (elapsed, share * 100, xshare * 100, len(frames) / (time.monotonic() - started),
                     load_before, load()))
        if "memory" in args.parts:
            end = started + args.soak_minutes * 60
            while time.monotonic() < end:
                time.sleep(min(15, max(0, end - time.monotonic())))
                samples.append((time.monotonic() - started, memory_kib(pid)))
            report_memory(samples)
    finally:
        stop_live(ui)


def report_memory(samples):
    minutes = [t / 60 for t, _ in samples]
    rss = [s["VmRSS"] / 1024 for _, s in samples]
    anon = [s["RssAnon"] / 1024 for _, s in samples]
    print("resident after %.1f min: %.1f MiB (anonymous %.1f MiB, peak %.1f MiB)"
          % (minutes[-1], rss[-1], anon[-1], samples[-1][1]["VmHWM"] / 1024))
    # The first minute holds the start's transients (caches, first
    # collections): fit from there on.
    fit = [(m, r, a) for m, r, a in zip(minutes, rss, anon) if m >= 1] or \
        list(zip(minutes, rss, anon))
    if len(fit) >= 3:
        for label, index in (("resident", 1), ("anonymous", 2)):
            xs = [p[0] for p in fit]
            ys = [p[index] for p in fit]
            mx, my = statistics.mean(xs), statistics.mean(ys)
            slope = sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / \
                sum((x - mx) ** 2 for x in xs)
            print("%s: %+.2f MiB an hour (least squares over minutes %.1f to %.1f); "
                  "extrapolated to 60 min: %.1f MiB"
                  % (label, slope * 60, xs[0], xs[-1], my + slope * (60 - mx)))
    print("samples (min, MiB): " + ", ".join("%.1f %.1f" % (m, r) for m, r in
                                              zip(minutes, rss)))


def measure_frames(args, backend):
    # QSG_RENDER_TIMING reaches the OpenGL render loops; the software one
    # logs its frames under the category named here.
    ui = start_live(backend, {"ORRINDEL_PERF_PROBE_MS": "10", "QSG_RENDER_TIMING": "1",
                              "QT_LOGGING_RULES": "qt.scenegraph.time.renderloop.debug=true"})
    try:
        card = ui.card(INT_CTRL)
        field = ui.wait_in(card, "text", PEAK)
        # The first record with a peak power is copied into the inputs; typing
        # before that would be overwritten.
        time.sleep(3)
        ui.click(field)
        ui.key("ctrl+a", "BackSpace")
        chart = ui.card(OPTICAL_CHART)
        x, y = chart.center
        ui.desktop.move_pointer(x, y)  # the cursor follows every push
        with open(ui.program.log_path, "rb") as f:
            timing_from = len(f.read().splitlines())
        begin = time.time() * 1000
        load_before = load()
        deadline = time.monotonic() + args.type_seconds
        keys = 0
        while time.monotonic() < deadline:
            ui.type_text("42", delay_ms=90)
            ui.key("BackSpace", "BackSpace")
            keys += 4
        end = time.time() * 1000
        time.sleep(1)
        entries = [(k, v) for k, v in read_log(ui.perf_log) if k in ("frame", "probe", "input")]
        inside = [(k, v) for k, v in entries if begin <= v[0] <= end]
        frames = [v[1] for k, v in inside if k == "frame"]
        waits = [v[1] for k, v in inside if k == "probe"]
        inputs = [v[1] for k, v in inside if k == "input"]
        with open(ui.program.log_path, "rb") as f:
            lines = f.read().decode(errors="replace").splitlines()[timing_from:]
        rendered = []
        for line in lines:
            if "Frame rendered with" in line and " in " in line:
                try:
                    rendered.append(float(line.split(" in ", 1)[1].split("ms", 1)[0]))
                except ValueError:
                    pass
        print("\n## %s scene graph: charts moving, %d keys typed in %.0f s, mouse on a chart"
              % (backend, keys, (end - begin) / 1000))
        print("frames (update request to frame swapped): " + describe(frames))
        print("frames (QSG_RENDER_TIMING, whole ms): " + describe(rendered))
        print("key or click to the next frame: " + describe(inputs))
        print("waits of the user-interface thread of 5 ms or more (probe every 10 ms): %d, "
              "longest %.1f ms   [load %s -> %s]"
              % (len(waits), max(waits) if waits else 0.0, load_before, load()))
    finally:
        stop_live(ui)


def journal_writer_tid(pid):
    """The session journal's writer thread (its name cut to 15 characters)."""
    for tid in os.listdir("/proc/%d/task" % pid):
        try:
            with open("/proc/%d/task/%s/comm" % (pid, tid)) as f:
                if f.read().startswith("SessionJournal"):
                    return int(tid)
        except OSError:
            pass
    return None


def measure_journal(args, backend):
    # Without the performance log: its lines would be counted as writes too.
    ui = start_live(backend, {"ORRINDEL_PERF_LOG": ""})
    try:
        pid = ui.program.pid
        data = ui.program.env()["ORRINDEL_DATA_DIR"]
        fs = subprocess.run(["stat", "-f", "-c", "%T", data], capture_output=True,
                            text=True).stdout.strip()
        print("\n## %s scene graph: the session journal's disk writes, live data, two "
              "records a second" % backend)
        if fs == "tmpfs":
            print("WARNING: %s is on tmpfs: nothing reaches a disk, the figures are void" % data)
        # Past the start: the loads, the QML disk cache, the first commits.
        time.sleep(10)
        tid = journal_writer_tid(pid)
        before = time.monotonic(), write_bytes(pid), write_bytes(pid, tid)
        load_before = load()
        time.sleep(args.journal_minutes * 60)
        after = time.monotonic(), write_bytes(pid), write_bytes(pid, tid)
        hours = (after[0] - before[0]) / 3600
        per_hour = (after[1] - before[1]) / hours / 2**20
        print("program: %.1f MiB an hour (%.2f MiB written in %.1f min, extrapolated)   "
              "[load %s -> %s]" % (per_hour, (after[1] - before[1]) / 2**20, hours * 60,
                                   load_before, load()))
        if tid is not None and before[2] is not None and after[2] is not None:
            print("of which the journal's writer thread: %.1f MiB an hour"
                  % ((after[2] - before[2]) / hours / 2**20))
        sizes = []
        for name in sorted(os.listdir(data)):
            if name.startswith("session-journal.sqlite"):
                sizes.append("%s %.1f KiB" % (name, os.path.getsize(os.path.join(data, name))
                                              / 1024))
        print("journal files (%s, %s): %s" % (data, fs, ", ".join(sizes) or "none"))
    finally:
        stop_live(ui)


def main():
    args = parse_args()
    print("# Orrindel: the whole program")
    print("program %s, %d processors, load %s"
          % (os.environ["ORRINDEL_BIN"], os.cpu_count(), load()))
    if "startup" in args.parts:
        measure_startup(args)
    desk = orrindel_ui.desktop()
    for backend in args.backends:
        if "cpu" in args.parts or "memory" in args.parts:
            measure_cpu_and_memory(args, desk, backend)
        if "frames" in args.parts:
            measure_frames(args, backend)
        if "journal" in args.parts:
            measure_journal(args, backend)


main()
PYTHON
