#!/usr/bin/env bash
# Soak run (docs/reliability.md, "Soak run"): the real program, connected to
# the simulator, for a given time while its charts record every status record;
# not part of the tests or of CI.
#
# Everything runs on a private Xvfb desktop with its own session and
# accessibility bus (tests/e2e/ui/orrindel_ui.py); the program is connected
# the way an operator does it (port list, Connect) and its data folder
# (ORRINDEL_DATA_DIR, where the session journal lives) is data/ in the run
# folder. Every minute one line: elapsed time, the program's resident memory
# (VmRSS and RssAnon), its processor time over that minute in % of one core
# (all threads), the simulator's and the X server's, the session journal's
# database and write-ahead log sizes, the program's open file descriptors
# (samples every 10 s also go to samples.csv), and a liveness probe:
# the simulator is told to report a new inlet-water temperature and the
# window must show it (read over the accessibility bus) within 30 s.
#
# At the end: start and end memory, the memory slope per hour (least squares
# over the samples after the first minutes, taken every 10 s), the mean
# processor shares, the journal's size and growth. Exit status 0 when the
# program ran and answered throughout; 1 when it died or a probe failed (the
# run goes on after a failed probe, so a recovery shows); 2 for bad usage or
# missing binaries. Ctrl-C (or SIGTERM) ends the run early with the summary.
#
#   scripts/soak.sh 30m                      # half an hour, records every 500 ms
#   scripts/soak.sh --period 20 30m          # 50 records a second: fills faster
#   scripts/soak.sh --backend software 2h
#   scripts/soak.sh --dir /tmp/soak1 --sim-arg=--garbage 1h
#
# DURATION: 90s, 30m, 2h, 1h30m, or plain seconds. Options:
#   --period MS        simulator status period, 10 to 60000 (default 500, as
#                      the controller); the charts record every record, so a
#                      short period fills the recordings and the journal faster
#   --backend NAME     opengl (default: the program's own choice, Mesa llvmpipe
#                      under Xvfb) or software (QT_QUICK_BACKEND=software)
#   --dir DIR          run folder (default a new /tmp/orrindel-soak-*); it keeps
#                      data/ (the journal), samples.csv, program.log and
#                      sim-stderr.log
#   --interval S       seconds between report lines (default 60)
#   --sim-arg ARG      one more simulator option (repeatable), e.g. --garbage
#
# Binaries: $BUILD_DIR/bin (default build/), or ORRINDEL_BIN and ORRINDEL_SIM.
# Use a RelWithDebInfo or Release build: figures of a debug build mean little.
set -euo pipefail
source "$(dirname "$0")/program_binaries.sh" soak

exec /usr/bin/python3 - "$source_dir" "$@" <<'PYTHON'
import argparse
import os
import re
import shutil
import sqlite3
import statistics
import sys
import tempfile
import time

source_dir = sys.argv[1]
sys.path.insert(0, os.path.join(source_dir, "tests", "e2e", "ui"))
sys.path.insert(0, os.path.join(source_dir, "scripts"))
import orrindel_ui  # noqa: E402
from proc_stats import cpu_seconds, load, memory_kib  # noqa: E402

INLET = "进水温度"
MEMORY_EVERY = 10.0  # seconds between memory samples (for the slope)
PROBE_TIMEOUT = 30.0
JOURNAL = "session-journal.sqlite"


def duration(text):
    """Seconds in 90s, 30m, 2h, 1h30m or a plain number of seconds."""
    if re.fullmatch(r"\d+(\.\d+)?", text):
        return float(text)
    parts = re.findall(r"(\d+(?:\.\d+)?)([hms])", text)
    if not parts or "".join(n + u for n, u in parts) != text:
        raise argparse.ArgumentTypeError("not a duration: %r (e.g. 90s, 30m, 2h, 1h30m)" % text)
    return sum(float(n) * {"h": 3600, "m": 60, "s": 1}[u] for n, u in parts)


def parse_args():
    parser = argparse.ArgumentParser(
        prog="soak.sh", description="The program against the simulator for DURATION, "
        "one report line a minute, a summary at the end (see the top of scripts/soak.sh).")
    parser.add_argument("duration", type=duration, help="90s, 30m, 2h, 1h30m or seconds")
    parser.add_argument("--period", type=int, default=500, metavar="MS",
                        help="simulator status period, 10 to 60000 ms (default 500)")
    parser.add_argument("--backend", choices=["opengl", "software"], default="opengl",
                        help="scene graph (default opengl: the program's own choice)")
    parser.add_argument("--dir", help="run folder (default a new /tmp/orrindel-soak-*)")
    parser.add_argument("--interval", type=float, default=60, metavar="S",
                        help="seconds between report lines (default 60)")
    parser.add_argument("--sim-arg", action="append", default=[], metavar="ARG",
                        help="one more simulator option, e.g. --sim-arg=--garbage")
    args = parser.parse_args(sys.argv[2:])
    if not 10 <= args.period <= 60000:
        parser.error("--period must be 10 to 60000 ms")
    if args.interval < 5:
        parser.error("--interval must be at least 5 s")
    return args


def open_fds(pid):
    try:
        return len(os.listdir("/proc/%d/fd" % pid))
    except OSError:
        return -1


def journal_bytes(data_dir):
    """Sizes of the journal's database file and of its write-ahead log (which
    a checkpoint moves into the database; the program keeps it near 4 MiB)."""
    sizes = []
    for suffix in ("", "-wal"):
        try:
            sizes.append(os.path.getsize(os.path.join(data_dir, JOURNAL + suffix)))
        except OSError:
            sizes.append(0)
    return tuple(sizes)


def journal_content(data_dir):
    """The journal as the program sees it (database and write-ahead log
    together): its size in bytes and the entries of its largest chart
    recording; (None, None) when it cannot be read now. A short read-only
    transaction: it never blocks the program's writer."""
    path = os.path.join(data_dir, JOURNAL)
    if not os.path.exists(path):
        return None, None
    try:
        db = sqlite3.connect("file:%s?mode=ro" % path, uri=True, timeout=1)
        try:
            size = db.execute("PRAGMA page_count").fetchone()[0] * \
                db.execute("PRAGMA page_size").fetchone()[0]
            tables = [r[0] for r in db.execute(
                "SELECT name FROM sqlite_master WHERE type='table' AND name LIKE 'wave\\_%' "
                "ESCAPE '\\'")]
            entries = max([db.execute("SELECT COALESCE(SUM(count), 0) FROM \"%s\"" % t)
                           .fetchone()[0] for t in tables] or [0])
            return size, entries
        finally:
            db.close()
    except sqlite3.Error:
        return None, None


def slope_per_hour(points):
    """Least-squares slope of (seconds, value) points, per hour."""
    xs = [p[0] for p in points]
    ys = [p[1] for p in points]
    mx, my = statistics.mean(xs), statistics.mean(ys)
    den = sum((x - mx) ** 2 for x in xs)
    return sum((x - mx) * (y - my) for x, y in zip(xs, ys)) / den * 3600 if den else 0.0


def size_text(size):
    return "%.1f KiB" % (size / 1024) if abs(size) < 1048576 else "%.2f MiB" % (size / 1048576)


def clock(seconds):
    seconds = int(round(seconds))
    return "%d:%02d:%02d" % (seconds // 3600, seconds // 60 % 60, seconds % 60)


class Soak:
    def __init__(self, args):
        self.args = args
        self.root = args.dir or tempfile.mkdtemp(
            prefix="orrindel-soak-%s-" % time.strftime("%Y%m%d-%H%M%S"))
        os.makedirs(self.root, exist_ok=True)
        self.data_dir = os.path.join(self.root, "data")
        os.makedirs(self.data_dir, exist_ok=True)
        self.csv = open(os.path.join(self.root, "samples.csv"), "w")
        self.csv.write("seconds,vmrss_kib,rssanon_kib,journal_bytes,journal_entries,"
                       "db_file_bytes,wal_file_bytes,fds\n")
        self.memory = []    # (seconds, VmRSS KiB, RssAnon KiB)
        self.journal = []   # (seconds, bytes, entries of the largest recording)
        self.probes = []    # (seconds, latency or None)
        self.lines = 0
        self.died = None
        self.sim_died = None
        self.ui = None

    def start(self):
        env = {"ORRINDEL_DATA_DIR": self.data_dir,
               "QT_QUICK_BACKEND": "software" if self.args.backend == "software" else ""}
        sim_args = ["--period", str(self.args.period), "--quiet"] + self.args.sim_arg
        self.ui = orrindel_ui.Orrindel(language="cn", theme="dark", sim_args=sim_args, env=env)
        self.ui.start()
        self.ui.connect_simulator()
        self.ui.sim.wait_for_stderr("client connected")
        self.ui.wait_for_live_values()
        self.pid = self.ui.program.pid
        self.sim_pid = self.ui.sim.proc.pid
        self.xvfb_pid = self.ui.desktop._xvfb.pid
        self.inlet = self.ui.status_item(INLET)

    def alive(self):
        return self.ui.program.running() and self.ui.program.pid == self.pid

    def probe(self, n):
        """Force a new inlet temperature in the simulator; seconds until the
        window shows it, or None when it does not within PROBE_TIMEOUT."""
        value = "%.1f" % (22.0 + (n % 20) / 10)  # inside the inlet window: no alarm
        began = time.monotonic()
        self.ui.sim.console("inlet " + value)
        try:
            deadline = began + PROBE_TIMEOUT
            while time.monotonic() < deadline:
                if self.inlet.description == value + "℃":
                    return time.monotonic() - began
                if not self.alive():
                    return None
                time.sleep(0.1)
            return None
        finally:
            self.ui.sim.console("inlet auto")

    def sample(self, elapsed):
        m = memory_kib(self.pid)
        self.memory.append((elapsed, m["VmRSS"], m["RssAnon"]))
        size, entries = journal_content(self.data_dir)
        if size is not None:
            self.journal.append((elapsed, size, entries))
        self.csv.write("%.1f,%d,%d,%s,%s,%d,%d,%d\n" % (
            (elapsed, m["VmRSS"], m["RssAnon"], "" if size is None else size,
             "" if entries is None else entries) + journal_bytes(self.data_dir)
            + (open_fds(self.pid),)))
        self.csv.flush()
        return m

    def report(self, elapsed, shares, latency):
        m = memory_kib(self.pid)
        if self.lines % 20 == 0:
            print("%8s %8s %8s %6s %6s %6s %8s %9s %4s  %-15s %s" % (
                "elapsed", "VmRSS", "RssAnon", "prog", "sim", "Xvfb", "journal", "entries",
                "fds", "live", "load"))
            print("%8s %8s %8s %6s %6s %6s %8s %9s" % (
                "", "MiB", "MiB", "%cpu", "%cpu", "%cpu", "MiB", "a chart"))
        self.lines += 1
        live = "yes (%.1f s)" % latency if latency is not None else "NO ANSWER"
        size, entries = journal_content(self.data_dir)
        print("%8s %8.1f %8.1f %6.1f %6.1f %6.1f %8s %9s %4d  %-15s %s" % (
            clock(elapsed), m["VmRSS"] / 1024, m["RssAnon"] / 1024, shares[0], shares[1],
            shares[2], "?" if size is None else "%.2f" % (size / 1048576),
            "?" if entries is None else entries, open_fds(self.pid), live, load()),
            flush=True)

    def run(self):
        args = self.args
        pids = (self.pid, self.sim_pid, self.xvfb_pid)
        began = time.monotonic()
        cpu_start = [cpu_seconds(p) for p in pids]
        cpu_last, t_last = list(cpu_start), began
        self.sample(0.0)
        next_memory = began + MEMORY_EVERY
        next_report = began + args.interval
        end = began + args.duration
        n = 0
        try:
            while True:
                now = time.monotonic()
                if not self.alive():
                    self.died = now - began
                    print("%8s the program has ended (exit code %s)"
                          % (clock(self.died), self.ui.program.exit_code()), flush=True)
                    break
                if self.ui.sim.proc.poll() is not None:
                    self.sim_died = now - began
                    print("%8s the simulator has ended (exit code %s): the run is void"
                          % (clock(self.sim_died), self.ui.sim.proc.returncode), flush=True)
                    break
                if now >= next_memory:
                    self.sample(now - began)
                    next_memory += MEMORY_EVERY
                if now >= next_report or now >= end:
                    cpu_now = [cpu_seconds(p) for p in pids]
                    span = now - t_last
                    shares = [100 * (b - a) / span if a is not None and b is not None else -1
                              for a, b in zip(cpu_last, cpu_now)]
                    cpu_last, t_last = cpu_now, now
                    latency = self.probe(n)
                    n += 1
                    self.probes.append((now - began, latency))
                    if not self.alive():
                        continue  # reported at the top
                    self.report(now - began, shares, latency)
                    next_report += args.interval
                    if now >= end:
                        break
                time.sleep(max(0.05, min(next_memory, next_report, end) - time.monotonic()))
        except KeyboardInterrupt:
            print("interrupted", flush=True)
        self.elapsed = time.monotonic() - began
        cpu_end = [cpu_seconds(p) for p in pids]
        self.mean_cpu = [100 * (b - a) / self.elapsed if a is not None and b is not None
                         else None for a, b in zip(cpu_start, cpu_end)]
        if self.alive():
            self.sample(self.elapsed)

    def summary(self):
        args = self.args
        print("\n## Summary")
        print("run %s (%.1f min measured), status period %d ms, %s scene graph; folder %s"
              % (clock(self.elapsed), self.elapsed / 60, args.period, args.backend, self.root))
        first, last = self.memory[0], self.memory[-1]
        print("resident: %.1f MiB at the start, %.1f MiB at the end (anonymous %.1f -> %.1f MiB)"
              % (first[1] / 1024, last[1] / 1024, first[2] / 1024, last[2] / 1024))
        # The first minutes hold the start's transients (caches, the first
        # garbage collections, allocator pools growing): fit from there on.
        settle = min(300.0, self.elapsed / 3)
        fit = [p for p in self.memory if p[0] >= settle]
        if len(fit) >= 3:
            print("slope (least squares over %.1f to %.1f min, %d samples): resident %+.1f MiB/h, "
                  "anonymous %+.1f MiB/h"
                  % (fit[0][0] / 60, fit[-1][0] / 60, len(fit),
                     slope_per_hour([(p[0], p[1] / 1024) for p in fit]),
                     slope_per_hour([(p[0], p[2] / 1024) for p in fit])))
        else:
            print("slope: too few samples after the first %.1f min" % (settle / 60))
        names = ("program", "simulator", "Xvfb")
        print("mean processor time: " + ", ".join(
            "%s %s" % (name, "%.1f %% of a core" % share if share is not None else "ended")
            for name, share in zip(names, self.mean_cpu)))
        db, wal = journal_bytes(self.data_dir)
        if len(self.journal) >= 2:
            (t0, size0, entries0), (t1, size1, entries1) = self.journal[0], self.journal[-1]
            span = max(t1 - t0, 1)
            print("session journal: %s (%s more than at the start, %s an hour); a chart "
                  "recording holds %d entries (%+d, %.1f a second)"
                  % (size_text(size1), size_text(size1 - size0),
                     size_text((size1 - size0) / span * 3600), entries1, entries1 - entries0,
                     (entries1 - entries0) / span))
        else:
            print("session journal: not readable")
        print("files: database %s, write-ahead log %s; records sent: about %d"
              % (size_text(db), size_text(wal), self.elapsed * 1000 / args.period))
        answered = [p[1] for p in self.probes if p[1] is not None]
        failed = [p[0] for p in self.probes if p[1] is None]
        print("liveness probes: %d answered (slowest %.1f s), %d not answered%s"
              % (len(answered), max(answered) if answered else 0, len(failed),
                 (" at " + ", ".join(clock(t) for t in failed)) if failed else ""))
        if self.died is not None:
            print("RESULT: FAILED, the program ended after %s" % clock(self.died))
            return 1
        if failed:
            print("RESULT: FAILED, the window stopped answering")
            return 1
        if self.sim_died is not None:
            print("RESULT: VOID, the simulator ended after %s" % clock(self.sim_died))
            return 1
        print("RESULT: ok, the program ran and answered throughout")
        return 0

    def keep_logs(self):
        if self.ui is None or self.ui.workdir is None:
            return
        for name in ("program.log", "sim-stderr.log"):
            try:
                shutil.copy(os.path.join(self.ui.workdir, name), os.path.join(self.root, name))
            except OSError:
                pass


def main():
    args = parse_args()
    soak = Soak(args)
    print("# Orrindel soak: %s, status every %d ms, %s scene graph"
          % (clock(args.duration), args.period, args.backend))
    print("program %s, simulator %s; %d processors, load %s; folder %s"
          % (os.environ["ORRINDEL_BIN"], os.environ["ORRINDEL_SIM"], os.cpu_count(), load(),
             soak.root), flush=True)
    status = 1
    try:
        soak.start()
        print("connected, live values shown; program pid %d, simulator pid %d\n"
              % (soak.pid, soak.sim_pid), flush=True)
        soak.run()
        status = soak.summary()
    except (orrindel_ui.HarnessError, KeyboardInterrupt) as error:
        print("soak: %s" % (error or "interrupted"), file=sys.stderr)
    finally:
        soak.keep_logs()
        if soak.ui is not None:
            soak.ui.stop()
        soak.csv.close()
    sys.exit(status)


main()
PYTHON
