"""Drive the real Orrindel window from Python, the way an operator would.

The harness runs everything on a private, throw-away desktop:

* ``Desktop``: an Xvfb server (1920x1080x24, ``-noreset``, a free display
  number), a private D-Bus session and the AT-SPI accessibility bus. One per
  Python process (the accessibility client library keeps its bus connection
  for the life of the process); ``desktop()`` starts it on first use and it is
  stopped at exit.
* ``Simulator``: ``orrindel-sim`` on a pseudo-terminal, with ``--log`` in a
  temporary directory and its console on a pipe (``sim.console("chiller
  open")``), so a test can inject faults and read every command it received;
  optionally with ``--link`` (a path that survives the simulator's hang-ups).
* ``Program``: the real ``orrindel`` binary, started in a temporary working
  directory with a ``config.ini`` for the requested language and theme and
  ``ORRINDEL_EXTRA_PORTS`` set to the simulator's port. A theme switch makes
  the program start a detached copy of itself and exit: ``follow_restart()``
  finds the new process and its window.
* ``Node``: an accessible object (label, button, combo box ...) with its role,
  name, description, text and screen rectangle; lookup by role and name with
  polling and error messages that list what was there.
* ``Orrindel``: all of the above for one test: ``find``/``wait_for``/
  ``wait_for_button``/``wait_for_text``, ``click`` (a real pointer click at the
  centre of the node), ``type_text``, ``key``, ``set_input``, ``wheel``,
  ``select_combo_entry``, ``connect_simulator``, ``screenshot``,
  ``dump_tree``, ``stop``; parts of the window: ``card``, ``wait_in``,
  ``button_in``, ``status_item``/``wait_for_status``, ``message_lines``/
  ``wait_for_message``, ``wait_for_top_level`` (a dialog window of its own),
  ``snapshot``.
* ``UITestCase``: a unittest base class with one ``Orrindel`` per test that
  leaves a screenshot, the accessible tree and the logs when a test fails.

Lookups go by role and name only, never by position. Roles are AT-SPI role
names ("push button", "label", "combo box", "frame", "panel", "slider",
"page tab", "password text" ...). Qt 5.15 does not report a disabled QML item
as disabled on the bus, so ``Node.enabled`` is true for every QML item.

Binaries are taken from ``ORRINDEL_BIN`` and ``ORRINDEL_SIM`` or, when those
are not set, from ``build/bin`` of the source tree this file lives in.
``ORRINDEL_E2E_TIMEOUT_SCALE`` multiplies every timeout (slow machines).

Use ``/usr/bin/python3``: the accessibility bindings come from Debian.
"""

import atexit
import ctypes
import json
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
SOURCE_DIR = os.path.abspath(os.path.join(HERE, "..", "..", ".."))

SCREEN_SIZE = (1920, 1080)
SCREEN_DEPTH = 24


class HarnessError(RuntimeError):
    """A step of the harness failed (a process did not start, a node was not found)."""


def timeout_scale():
    try:
        return max(0.1, float(os.environ.get("ORRINDEL_E2E_TIMEOUT_SCALE", "1")))
    except ValueError:
        return 1.0


def scaled(seconds):
    return seconds * timeout_scale()


def program_path():
    return os.path.abspath(os.environ.get("ORRINDEL_BIN")
                           or os.path.join(SOURCE_DIR, "build", "bin", "orrindel"))


def simulator_path():
    return os.path.abspath(os.environ.get("ORRINDEL_SIM")
                           or os.path.join(SOURCE_DIR, "build", "bin", "orrindel-sim"))


def artifacts_dir():
    """Where failing tests leave their screenshot, accessible tree and logs."""
    path = os.environ.get("ORRINDEL_E2E_ARTIFACTS") or os.path.join(
        tempfile.gettempdir(), "orrindel-e2e-artifacts")
    os.makedirs(path, exist_ok=True)
    return path


# --------------------------------------------------------------------------
# Processes

_libc = ctypes.CDLL(None, use_errno=True)
_PR_SET_PDEATHSIG = 1
_PR_SET_CHILD_SUBREAPER = 36


def _die_with_parent():
    """preexec_fn: the child gets SIGTERM when this process dies, even by SIGKILL."""
    _libc.prctl(_PR_SET_PDEATHSIG, signal.SIGTERM, 0, 0, 0)


_subreaper = False


def _become_subreaper():
    """Orphaned descendants (the detached copy a theme switch starts) become
    our children, so they can be found, waited for and reaped."""
    global _subreaper
    if not _subreaper:
        _subreaper = _libc.prctl(_PR_SET_CHILD_SUBREAPER, 1, 0, 0, 0) == 0
    return _subreaper


def _proc_state(pid):
    """The one-letter state of a process, or None when it is gone."""
    try:
        with open("/proc/%d/stat" % pid) as f:
            data = f.read()
    except OSError:
        return None
    return data[data.rfind(")") + 2:].split(" ", 1)[0]


def _pid_alive(pid):
    """True while pid runs; reaps it when it is a finished child of ours."""
    try:
        done, _ = os.waitpid(pid, os.WNOHANG)
        if done == pid:
            return False
    except ChildProcessError:
        pass
    state = _proc_state(pid)
    return state is not None and state not in ("Z", "X")


def _wait_pid_gone(pid, timeout):
    deadline = time.monotonic() + timeout
    while time.monotonic() < deadline:
        if not _pid_alive(pid):
            return True
        time.sleep(0.05)
    return not _pid_alive(pid)


def _terminate_pid(pid, grace=5.0):
    """SIGTERM, then SIGKILL after grace seconds; waits until pid is gone."""
    if not _pid_alive(pid):
        return
    try:
        os.kill(pid, signal.SIGTERM)
    except ProcessLookupError:
        return
    if _wait_pid_gone(pid, grace):
        return
    try:
        os.kill(pid, signal.SIGKILL)
    except ProcessLookupError:
        return
    _wait_pid_gone(pid, 5.0)


def _stop_popen(proc, grace=5.0, group=True):
    """Stop a Popen child (and its process group when it leads one)."""
    if proc is None or proc.poll() is not None:
        return
    try:
        if group:
            os.killpg(proc.pid, signal.SIGTERM)
        else:
            proc.terminate()
    except (ProcessLookupError, PermissionError):
        pass
    try:
        proc.wait(grace)
        return
    except subprocess.TimeoutExpired:
        pass
    try:
        if group:
            os.killpg(proc.pid, signal.SIGKILL)
        else:
            proc.kill()
    except (ProcessLookupError, PermissionError):
        pass
    try:
        proc.wait(5)
    except subprocess.TimeoutExpired:
        pass


def _children_named(names):
    """Pids of our own children (including adopted orphans) whose command name
    is in names."""
    me = str(os.getpid())
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        try:
            with open("/proc/%s/stat" % entry) as f:
                data = f.read()
        except OSError:
            continue
        comm = data[data.find("(") + 1:data.rfind(")")]
        fields = data[data.rfind(")") + 2:].split(" ")
        if fields[1] == me and comm in names:
            found.append(int(entry))
    return found


def _stop_adopted(names, grace=3.0):
    """Stop and reap orphans of the desktop's daemons that were adopted by this
    process (it is a child subreaper), so no process or zombie stays behind."""
    deadline = time.monotonic() + grace
    while True:
        pids = [p for p in _children_named(names) if _pid_alive(p)]
        if not pids:
            return
        if time.monotonic() > deadline:
            for pid in pids:
                _terminate_pid(pid, grace=2.0)
            return
        time.sleep(0.1)


# Command names (as in /proc/PID/stat, at most 15 characters) of the
# processes the harness starts directly or indirectly.
_HARNESS_COMMANDS = {"Xvfb", "dbus-daemon", "at-spi-bus-laun", "at-spi2-registr",
                     "orrindel", "orrindel-sim"}


def _processes_of(executable, cwd):
    """Pids of running processes of executable whose working directory is cwd."""
    executable = os.path.realpath(executable)
    cwd = os.path.realpath(cwd)
    found = []
    for entry in os.listdir("/proc"):
        if not entry.isdigit():
            continue
        pid = int(entry)
        try:
            if (os.readlink("/proc/%d/exe" % pid) == executable
                    and os.readlink("/proc/%d/cwd" % pid) == cwd):
                found.append(pid)
        except OSError:
            continue
    return sorted(found)


# --------------------------------------------------------------------------
# The private desktop: X server, D-Bus session, accessibility bus


class Desktop:
    """Xvfb + private D-Bus session + AT-SPI bus. Start once per process."""

    def __init__(self, size=SCREEN_SIZE, depth=SCREEN_DEPTH):
        self.size = size
        self.depth = depth
        self.dir = None
        self.display = None
        self.bus_address = None
        self._xvfb = None
        self._dbus = None
        self._launcher = None
        self._saved_env = {}
        self.started = False

    # The variables a client of this desktop needs.
    def env(self, base=None):
        env = dict(os.environ if base is None else base)
        for var in ("WAYLAND_DISPLAY", "AT_SPI_BUS_ADDRESS", "XAUTHORITY",
                    "DBUS_SYSTEM_BUS_ADDRESS_OVERRIDE", "SESSION_MANAGER"):
            env.pop(var, None)
        env["DISPLAY"] = self.display
        env["DBUS_SESSION_BUS_ADDRESS"] = self.bus_address
        env["XDG_RUNTIME_DIR"] = os.path.join(self.dir, "runtime")
        env["NO_AT_BRIDGE"] = "0"
        return env

    def start(self):
        if self.started:
            return self
        self.dir = tempfile.mkdtemp(prefix="orrindel-desktop-")
        os.makedirs(os.path.join(self.dir, "runtime"), mode=0o700)
        try:
            self._start_xvfb()
            self._start_dbus()
            self._start_accessibility_bus()
        except BaseException:
            self.stop()
            raise
        self.started = True
        return self

    def _start_xvfb(self):
        read_end, write_end = os.pipe()
        log = open(os.path.join(self.dir, "xvfb.log"), "wb")
        try:
            self._xvfb = subprocess.Popen(
                ["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                 "%dx%dx%d" % (self.size[0], self.size[1], self.depth),
                 "-noreset", "-nolisten", "tcp"],
                pass_fds=[write_end], stdin=subprocess.DEVNULL, stdout=log,
                stderr=subprocess.STDOUT, start_new_session=True,
                preexec_fn=_die_with_parent)
        finally:
            os.close(write_end)
            log.close()
        number = b""
        deadline = time.monotonic() + scaled(30)
        try:
            while not number.endswith(b"\n"):
                if time.monotonic() > deadline or self._xvfb.poll() is not None:
                    raise HarnessError("Xvfb did not report its display number; log:\n"
                                       + _tail(os.path.join(self.dir, "xvfb.log")))
                chunk = _read_with_timeout(read_end, 0.2)
                if chunk == b"" and self._xvfb.poll() is not None:
                    continue
                number += chunk or b""
        finally:
            os.close(read_end)
        self.display = ":" + number.decode().strip()

    def _start_dbus(self):
        socket = os.path.join(self.dir, "session-bus")
        with open(os.path.join(self.dir, "dbus.log"), "wb") as log:
            self._dbus = subprocess.Popen(
                ["dbus-daemon", "--session", "--nofork", "--nopidfile", "--print-address=1",
                 "--address=unix:path=" + socket],
                stdin=subprocess.DEVNULL, stdout=subprocess.PIPE, stderr=log,
                start_new_session=True, preexec_fn=_die_with_parent)
        ready = _read_line_with_timeout(self._dbus.stdout, scaled(20))
        if not ready:
            raise HarnessError("dbus-daemon did not print its address; log:\n"
                               + _tail(os.path.join(self.dir, "dbus.log")))
        self.bus_address = ready.decode().strip()

    def _start_accessibility_bus(self):
        env = self.env()
        # On a loaded machine the launcher now and then gives up (exit code 0)
        # just after answering. The client has not connected yet, so a new
        # launcher can still take over: try again after a pause (the machine
        # is busy), and only then give up.
        for attempt in range(5):
            if self._launch_accessibility_bus(env):
                break
            _stop_popen(self._launcher)
            time.sleep(scaled(1.0 + attempt))
        else:
            raise HarnessError("the accessibility bus did not come up or did not stay up; log:\n"
                               + _tail(os.path.join(self.dir, "at-spi.log")))
        # This process is the accessibility client: point it at this desktop
        # before the client library connects.
        for var, value in env.items():
            if os.environ.get(var) != value:
                self._saved_env.setdefault(var, os.environ.get(var))
                os.environ[var] = value
        for var in ("AT_SPI_BUS_ADDRESS", "WAYLAND_DISPLAY"):
            if var in os.environ:
                self._saved_env.setdefault(var, os.environ[var])
                del os.environ[var]
        _atspi().set_timeout(5000, -1)

    def _launch_accessibility_bus(self, env):
        """Starts the launcher; true once its bus answers and it is still
        running a moment later."""
        with open(os.path.join(self.dir, "at-spi.log"), "ab") as log:
            self._launcher = subprocess.Popen(
                ["/usr/libexec/at-spi-bus-launcher", "--launch-immediately"],
                env=env, stdin=subprocess.DEVNULL, stdout=log, stderr=subprocess.STDOUT,
                start_new_session=True, preexec_fn=_die_with_parent)
        deadline = time.monotonic() + scaled(20)
        while True:
            probe = subprocess.run(
                ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                 "/org/a11y/bus", "org.a11y.Bus.GetAddress"],
                env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=10)
            if probe.returncode == 0 and b"unix:" in probe.stdout:
                break
            if self._launcher.poll() is not None or time.monotonic() > deadline:
                return False
            time.sleep(0.1)
        time.sleep(scaled(0.5))
        return self._launcher.poll() is None

    def problems(self):
        """What is wrong with this desktop (empty when it is healthy): a dead
        X server, session bus or accessibility bus launcher, an accessibility
        bus that does not answer."""
        found = []
        for name, proc in (("Xvfb", self._xvfb), ("dbus-daemon", self._dbus),
                           ("at-spi-bus-launcher", self._launcher)):
            if proc is None or proc.poll() is not None:
                found.append("%s has ended (exit code %s)" % (
                    name, None if proc is None else proc.returncode))
        if not found:
            probe = subprocess.run(
                ["dbus-send", "--session", "--print-reply", "--dest=org.a11y.Bus",
                 "/org/a11y/bus", "org.a11y.Bus.GetAddress"], env=self.env(),
                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=10)
            address = re.search(rb'string "([^"]+)"', probe.stdout)
            if probe.returncode != 0 or not address:
                found.append("the session bus does not give the accessibility bus address: "
                             + probe.stderr.decode(errors="replace").strip())
            else:
                ping = subprocess.run(
                    ["dbus-send", "--bus=" + address.group(1).decode(), "--print-reply",
                     "--dest=org.freedesktop.DBus", "/org/freedesktop/DBus",
                     "org.freedesktop.DBus.ListNames"], env=self.env(),
                    stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=10)
                if ping.returncode != 0:
                    found.append("the accessibility bus does not answer: "
                                 + ping.stderr.decode(errors="replace").strip())
        return found

    def stop(self):
        for proc in (self._launcher, self._dbus, self._xvfb):
            _stop_popen(proc)
        if self._dbus is not None and self._dbus.stdout is not None:
            self._dbus.stdout.close()
        self._launcher = self._dbus = self._xvfb = None
        # The accessibility bus daemon and registry outlive the launcher for a
        # moment; they end with the buses. Reap them (or stop them).
        _stop_adopted(_HARNESS_COMMANDS)
        for var, value in self._saved_env.items():
            if value is None:
                os.environ.pop(var, None)
            else:
                os.environ[var] = value
        self._saved_env = {}
        if self.dir:
            shutil.rmtree(self.dir, ignore_errors=True)
            self.dir = None
        self.started = False

    # --- input and pictures on this display ---

    def xdotool(self, *args):
        result = subprocess.run(["xdotool"] + [str(a) for a in args], env=self.env(),
                                stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=30)
        if result.returncode != 0:
            raise HarnessError("xdotool %s failed: %s" % (" ".join(map(str, args)),
                                                          result.stderr.decode(errors="replace")))
        return result.stdout.decode(errors="replace")

    def pointer(self):
        """The pointer's screen position."""
        out = self.xdotool("getmouselocation", "--shell")
        values = dict(line.split("=", 1) for line in out.split() if "=" in line)
        return int(values["X"]), int(values["Y"])

    def move_pointer(self, x, y, timeout=5.0):
        """Move the pointer and wait until the server has it there. (xdotool's
        own --sync waits for a motion event, which never comes when the
        pointer is already in place.)"""
        self.xdotool("mousemove", x, y)
        deadline = time.monotonic() + scaled(timeout)
        while self.pointer() != (x, y):
            if time.monotonic() > deadline:
                raise HarnessError("the pointer did not move to (%d, %d): it is at %s"
                                   % (x, y, self.pointer()))
            time.sleep(0.02)
        # Let the program see the motion (hover) before the button goes down.
        time.sleep(0.05)

    def screenshot(self, path, rect=None):
        """The whole screen, or the rectangle (x, y, width, height), as a PNG."""
        command = ["import", "-display", self.display, "-window", "root"]
        if rect is not None:
            x, y, w, h = rect
            x, y = max(0, x), max(0, y)
            w = min(w, self.size[0] - x)
            h = min(h, self.size[1] - y)
            command += ["-crop", "%dx%d+%d+%d" % (w, h, x, y), "+repage"]
        command.append(path)
        result = subprocess.run(command, env=self.env(), stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, timeout=60)
        if result.returncode != 0 or not os.path.exists(path):
            raise HarnessError("screenshot failed: " + result.stderr.decode(errors="replace"))
        return path


_desktop = None
_desktop_lock = threading.Lock()


def desktop():
    """The process's desktop, started on first use and stopped at exit."""
    global _desktop
    with _desktop_lock:
        if _desktop is None:
            _desktop = Desktop().start()
            atexit.register(_stop_desktop)
            _stop_on_sigterm()
        elif not _desktop.started:
            raise HarnessError("the desktop of this process was stopped; the accessibility "
                               "client cannot move to a new bus: use a new process")
        return _desktop


def _stop_desktop():
    for run in list(_running):
        try:
            run.stop()
        except Exception as error:
            sys.stderr.write("stopping %r failed: %s\n" % (run, error))
    if _desktop is not None and _desktop.started:
        _desktop.stop()


def _stop_on_sigterm():
    """A terminated test run (SIGTERM, e.g. a timeout) still stops its
    processes: the signal becomes a KeyboardInterrupt, which unittest passes
    on, and the exit handlers stop every program, simulator and the desktop.
    (Under SIGKILL the children still die with this process.)"""
    if threading.current_thread() is not threading.main_thread():
        return
    if signal.getsignal(signal.SIGTERM) not in (signal.SIG_DFL, None):
        return

    def interrupt(signum, frame):
        signal.signal(signal.SIGTERM, signal.SIG_DFL)
        raise KeyboardInterrupt("terminated by signal %d" % signum)
    signal.signal(signal.SIGTERM, interrupt)


# Programs with their simulators that have been started and not stopped.
_running = set()


_atspi_module = None


def _atspi():
    global _atspi_module
    if _atspi_module is None:
        import warnings
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            import gi
            gi.require_version("Atspi", "2.0")
            from gi.repository import Atspi
        _atspi_module = Atspi
    return _atspi_module


def _read_with_timeout(fd, timeout):
    import select
    ready, _, _ = select.select([fd], [], [], timeout)
    if not ready:
        return None
    return os.read(fd, 64)


def _read_line_with_timeout(stream, timeout):
    """One line from a pipe, or None after timeout seconds."""
    result = []
    reader = threading.Thread(target=lambda: result.append(stream.readline()), daemon=True)
    reader.start()
    reader.join(timeout)
    return result[0] if result and result[0] else None


def _tail(path, lines=40):
    try:
        with open(path, "rb") as f:
            data = f.read().decode(errors="replace").splitlines()
        return "\n".join(data[-lines:])
    except OSError as error:
        return "(no log: %s)" % error


# --------------------------------------------------------------------------
# The simulator


class Simulator:
    """``orrindel-sim`` on a pseudo-terminal with a command log and a console pipe."""

    def __init__(self, workdir, args=(), binary=None, link=None):
        self.binary = binary or simulator_path()
        self.workdir = workdir
        self.args = list(args)
        # With link, the simulator keeps a symbolic link at this path to its
        # line (also across hang-ups), and the program is offered the link.
        self.link = link
        self.log_path = os.path.join(workdir, "sim-commands.jsonl")
        self.stderr_path = os.path.join(workdir, "sim-stderr.log")
        self.stdout_lines = []
        self._stdout_cond = threading.Condition()
        self.proc = None
        self.port = None

    def start(self):
        if not os.access(self.binary, os.X_OK):
            raise HarnessError("simulator not found: %s (set ORRINDEL_SIM)" % self.binary)
        with open(self.stderr_path, "wb") as log:
            self.proc = subprocess.Popen(
                [self.binary, "--log", self.log_path]
                + (["--link", self.link] if self.link else []) + self.args,
                cwd=self.workdir, stdin=subprocess.PIPE, stdout=subprocess.PIPE,
                stderr=log, start_new_session=True, preexec_fn=_die_with_parent)
        threading.Thread(target=self._read_stdout, daemon=True).start()
        deadline = time.monotonic() + scaled(15)
        with self._stdout_cond:
            while not self.stdout_lines:
                if self.proc.poll() is not None:
                    break
                left = deadline - time.monotonic()
                if left <= 0:
                    break
                self._stdout_cond.wait(min(left, 0.2))
            if not self.stdout_lines:
                self.stop()
                raise HarnessError("the simulator did not print its port; stderr:\n"
                                   + _tail(self.stderr_path))
            self.port = self.stdout_lines[0]
        return self

    def _read_stdout(self):
        for raw in self.proc.stdout:
            line = raw.decode(errors="replace").rstrip("\n")
            with self._stdout_cond:
                self.stdout_lines.append(line)
                if line.startswith("reopened "):
                    self.port = line[len("reopened "):].strip()
                self._stdout_cond.notify_all()

    @property
    def line(self):
        """The path a program opens to reach the simulator: the link when
        there is one, else the pseudo-terminal."""
        return self.link or self.port

    def wait_for_stdout(self, wanted, timeout=10, after=0):
        """The first line of standard output (beyond the first `after` lines)
        that matches wanted (see _name_matches; a plain string here means
        "starts with")."""
        if isinstance(wanted, str):
            prefix = wanted
            wanted = lambda line: line.startswith(prefix)  # noqa: E731
        deadline = time.monotonic() + scaled(timeout)
        with self._stdout_cond:
            while True:
                for line in self.stdout_lines[after:]:
                    if _name_matches(wanted, line):
                        return line
                left = deadline - time.monotonic()
                if left <= 0:
                    raise HarnessError("the simulator did not print %s within %ss; it printed:\n%s"
                                       % (_describe_wanted(None, wanted), timeout,
                                          "\n".join(self.stdout_lines)))
                self._stdout_cond.wait(min(left, 0.2))

    def wait_for_stderr(self, line, timeout=10):
        """Wait until the simulator has printed line (a whole line) on standard error."""
        poll(lambda: line in self.stderr().splitlines(), timeout,
             message=lambda: "the simulator never printed %r; it printed:\n%s"
             % (line, self.stderr()))

    def console(self, command):
        """One console line, e.g. ``chiller open``, ``silent on``, ``hangup 2000``."""
        if self.proc is None or self.proc.poll() is not None:
            raise HarnessError("the simulator is not running")
        self.proc.stdin.write((command.rstrip("\n") + "\n").encode())
        self.proc.stdin.flush()

    def commands(self, name=None):
        """Every logged command (dicts from the JSON lines), optionally only those named."""
        entries = []
        try:
            with open(self.log_path, encoding="utf-8") as f:
                for line in f:
                    line = line.strip()
                    if not line:
                        continue
                    try:
                        entry = json.loads(line)
                    except ValueError:
                        continue  # a line still being written
                    if name is None or entry.get("name") == name:
                        entries.append(entry)
        except FileNotFoundError:
            pass
        return entries

    def wait_for_command(self, name, predicate=None, timeout=10, after=0):
        """The first logged command called name (beyond the first `after` of them)
        for which predicate(entry) holds."""
        deadline = time.monotonic() + scaled(timeout)
        while True:
            matches = [e for e in self.commands(name)[after:]
                       if predicate is None or predicate(e)]
            if matches:
                return matches[0]
            if time.monotonic() > deadline:
                raise HarnessError("the simulator did not receive %s within %ss; log:\n%s"
                                   % (name, timeout, "\n".join(json.dumps(e) for e in
                                                               self.commands()[-20:])))
            time.sleep(0.1)

    def stderr(self):
        return _tail(self.stderr_path, 200)

    def stop(self):
        if self.proc is not None and self.proc.poll() is None:
            try:
                self.proc.stdin.write(b"quit\n")
                self.proc.stdin.flush()
                self.proc.wait(3)
            except (OSError, subprocess.TimeoutExpired, ValueError):
                pass
        _stop_popen(self.proc)
        if self.proc is not None:
            for stream in (self.proc.stdin, self.proc.stdout):
                try:
                    stream.close()
                except (OSError, ValueError):
                    pass


# --------------------------------------------------------------------------
# The program


class Program:
    """The real program in its own working directory with its own config.ini."""

    def __init__(self, desktop_, workdir, language="cn", theme="dark", extra_ports=(),
                 binary=None, env=None, config_text=None, launcher=None):
        self.desktop = desktop_
        self.binary = binary or program_path()
        self.workdir = workdir
        self.language = language
        self.theme = theme
        self.extra_ports = list(extra_ports)
        self.extra_env = dict(env or {})
        # config_text (str or bytes): the settings file exactly as given
        # instead of one for language and theme. launcher(workdir): the
        # command to run the program through (e.g. a private mount
        # namespace); it must exec the program in the same process so the
        # pid stays the program's.
        self.config_text = config_text
        self.launcher = launcher
        self.log_path = os.path.join(workdir, "program.log")
        self.proc = None
        self.pid = None
        self.restarts = 0
        # Exit code of the process that a restart replaced (None when unknown:
        # only the first process is our own child from the start).
        self.replaced_exit_code = None

    def write_config(self):
        if self.config_text is not None:
            data = self.config_text
            if isinstance(data, str):
                data = data.encode("utf-8")
            with open(os.path.join(self.workdir, "config.ini"), "wb") as f:
                f.write(data)
            return
        with open(os.path.join(self.workdir, "config.ini"), "w", encoding="utf-8") as f:
            f.write("[General]\nlanguage=%s\ntheme=%s\n" % (self.language, self.theme))

    def config(self):
        """The program's settings file as a dict (keys without the section)."""
        values = {}
        try:
            with open(os.path.join(self.workdir, "config.ini"), encoding="utf-8") as f:
                for line in f:
                    if "=" in line and not line.startswith("["):
                        key, value = line.split("=", 1)
                        values[key.strip()] = value.strip()
        except FileNotFoundError:
            pass
        return values

    def env(self):
        env = self.desktop.env()
        env["QT_LINUX_ACCESSIBILITY_ALWAYS_ON"] = "1"
        env["QT_ACCESSIBILITY"] = "1"
        env["QT_QPA_PLATFORM"] = "xcb"
        env["ORRINDEL_EXTRA_PORTS"] = os.pathsep.join(self.extra_ports)
        # Data the program keeps between runs (its session journal) stays in
        # this working directory: tests do not see each other's recordings,
        # nor those of the user's own runs. A restarted copy finds it again.
        env["ORRINDEL_DATA_DIR"] = os.path.join(self.workdir, "data")
        env["XDG_DATA_HOME"] = os.path.join(self.workdir, "xdg-data")
        env.pop("QT_SCALE_FACTOR", None)
        env.update(self.extra_env)
        return env

    def start(self):
        if not os.access(self.binary, os.X_OK):
            raise HarnessError("program not found: %s (set ORRINDEL_BIN)" % self.binary)
        _become_subreaper()
        self.write_config()
        log = open(self.log_path, "ab")
        try:
            prefix = list(self.launcher(self.workdir)) if self.launcher else []
            self.proc = subprocess.Popen(prefix + [self.binary], cwd=self.workdir, env=self.env(),
                                         stdin=subprocess.DEVNULL, stdout=log,
                                         stderr=subprocess.STDOUT)
        finally:
            log.close()
        self.pid = self.proc.pid
        return self

    def _alive(self, pid):
        if self.proc is not None and self.proc.pid == pid:
            return self.proc.poll() is None
        return _pid_alive(pid)

    def running(self):
        return self.pid is not None and self._alive(self.pid)

    def exit_code(self):
        """The exit code of the first process, None while it runs or after a restart."""
        if self.proc is not None and self.proc.pid == self.pid:
            return self.proc.poll()
        return None

    def all_pids(self):
        return _processes_of(self.binary, self.workdir)

    def rss_kb(self):
        """The resident memory (VmRSS) of the current process in KiB."""
        with open("/proc/%d/status" % self.pid) as f:
            for line in f:
                if line.startswith("VmRSS:"):
                    return int(line.split()[1])
        raise HarnessError("no VmRSS for pid %d" % self.pid)

    def cpu_seconds(self):
        """CPU time (user + system, all threads) the current process has used."""
        with open("/proc/%d/stat" % self.pid) as f:
            data = f.read()
        fields = data[data.rfind(")") + 2:].split(" ")
        # Fields 14 and 15 of the line (utime, stime), counted from the state (3rd).
        return (int(fields[11]) + int(fields[12])) / os.sysconf("SC_CLK_TCK")

    def cpu_share(self, seconds):
        """The share of one core the program uses over the next `seconds`
        (wall clock) of waiting; nothing else is asked of it meanwhile."""
        start_cpu, start = self.cpu_seconds(), time.monotonic()
        time.sleep(seconds)
        return (self.cpu_seconds() - start_cpu) / (time.monotonic() - start)

    def wait_for_restart(self, timeout=30):
        """After a theme switch: wait until the current process has exited and a
        new copy runs in the same working directory; returns its pid."""
        old = self.pid
        deadline = time.monotonic() + scaled(timeout)
        new = None
        while time.monotonic() < deadline:
            others = [p for p in self.all_pids() if p != old]
            if others:
                new = others[-1]
            if new is not None and not self._alive(old):
                break
            time.sleep(0.05)
        else:
            raise HarnessError(
                "the program did not restart within %ss (old pid %s %s, copies now %s); log:\n%s"
                % (timeout, old, "still runs" if self._alive(old) else "ended",
                   self.all_pids(), _tail(self.log_path)))
        self.replaced_exit_code = None
        if self.proc is not None and self.proc.pid == old:
            self.replaced_exit_code = self.proc.wait(5)
        self.pid = new
        self.restarts += 1
        return new

    def stop(self):
        if self.proc is not None and self.proc.poll() is None:
            _stop_popen(self.proc, group=False)
        # Detached copies from a theme switch, and anything else of ours
        # still running in this working directory.
        for _ in range(3):
            pids = self.all_pids()
            if not pids:
                break
            for pid in pids:
                _terminate_pid(pid)
        if self.pid is not None:
            _pid_alive(self.pid)  # reap it when it was adopted


# --------------------------------------------------------------------------
# Accessible nodes


def _role_key(role):
    return re.sub(r"[\s_-]+", " ", str(role)).strip().lower()


def _name_matches(wanted, name):
    """wanted: None (any), a string (exact), a compiled regex (search), a
    callable, or a list/tuple/set of alternatives."""
    if wanted is None:
        return True
    if isinstance(wanted, (list, tuple, set, frozenset)):
        return any(_name_matches(w, name) for w in wanted)
    if isinstance(wanted, re.Pattern):
        return name is not None and wanted.search(name) is not None
    if callable(wanted):
        return bool(wanted(name))
    return name == wanted


def _describe_wanted(role, name):
    parts = []
    if role is not None:
        parts.append("role %r" % (role,))
    if name is not None:
        if isinstance(name, re.Pattern):
            parts.append("name matching /%s/" % name.pattern)
        elif isinstance(name, (list, tuple, set, frozenset)):
            parts.append("name in %r" % (list(name),))
        elif callable(name):
            parts.append("name accepted by %s" % getattr(name, "__name__", name))
        else:
            parts.append("name %r" % (name,))
    return " and ".join(parts) or "any node"


class Node:
    """An accessible object of the program's window."""

    def __init__(self, accessible):
        self.acc = accessible

    def _safe(self, getter, default=None):
        try:
            return getter()
        except Exception:  # the object went away or the call timed out
            return default

    @property
    def role(self):
        return self._safe(self.acc.get_role_name, "")

    @property
    def name(self):
        return self._safe(self.acc.get_name, "") or ""

    @property
    def description(self):
        return self._safe(self.acc.get_description, "") or ""

    @property
    def text(self):
        """The text of a text node, or the name for nodes without text."""
        Atspi = _atspi()

        def read():
            if "Text" not in self.acc.get_interfaces():
                return None
            return Atspi.Text.get_text(self.acc, 0, Atspi.Text.get_character_count(self.acc))
        value = self._safe(read)
        return value if value is not None else self.name

    @property
    def pid(self):
        return self._safe(self.acc.get_process_id)

    def has_state(self, nick):
        """nick: "showing", "visible", "enabled", "focused", "checked", "pressed" ..."""
        Atspi = _atspi()
        state = getattr(Atspi.StateType, nick.upper().replace("-", "_"))
        state_set = self._safe(self.acc.get_state_set)
        return bool(state_set and state_set.contains(state))

    @property
    def showing(self):
        return self.has_state("showing")

    @property
    def enabled(self):
        return self.has_state("enabled")

    @property
    def rect(self):
        """(x, y, width, height) on the screen, or None."""
        Atspi = _atspi()

        def read():
            ext = self.acc.get_extents(Atspi.CoordType.SCREEN)
            return (ext.x, ext.y, ext.width, ext.height)
        return self._safe(read)

    @property
    def center(self):
        rect = self.rect
        if not rect or rect[2] <= 0 or rect[3] <= 0:
            raise HarnessError("%s has no area on the screen (%r)" % (self, rect))
        return (rect[0] + rect[2] // 2, rect[1] + rect[3] // 2)

    def children(self):
        count = self._safe(self.acc.get_child_count, 0) or 0
        result = []
        for i in range(count):
            child = self._safe(lambda: self.acc.get_child_at_index(i))
            if child is not None:
                result.append(Node(child))
        return result

    def parent(self):
        parent = self._safe(self.acc.get_parent)
        return Node(parent) if parent is not None else None

    def walk(self, limit=20000):
        """This node and its descendants, depth first."""
        stack = [self]
        seen = 0
        while stack and seen < limit:
            node = stack.pop()
            seen += 1
            yield node
            stack.extend(reversed(node.children()))

    def find_all(self, role=None, name=None, showing=None, where=None):
        """Descendants (and self) with the role (e.g. "push button", "label",
        "combo box", "frame"), the name (see _name_matches), the showing state
        and for which where(node) holds."""
        role_key = _role_key(role) if role is not None else None
        found = []
        for node in self.walk():
            if role_key is not None and _role_key(node.role) != role_key:
                continue
            if not _name_matches(name, node.name):
                continue
            if showing is not None and node.showing != showing:
                continue
            if where is not None and not where(node):
                continue
            found.append(node)
        return found

    def all_texts(self):
        """Names and texts of this node and its descendants (what it shows)."""
        texts = []
        for node in self.walk(limit=500):
            for value in (node.name, node.text):
                if value and value not in texts:
                    texts.append(value)
        return texts

    def outline(self, max_nodes=2000):
        """The subtree as indented lines: role, name, description, rectangle, states."""
        lines = []

        def visit(node, depth):
            if len(lines) >= max_nodes:
                return
            extra = []
            if node.description and node.description != node.name:
                extra.append("desc=%r" % node.description)
            text = node.text
            if text != node.name and text:
                extra.append("text=%r" % text)
            flags = [s for s in ("showing", "enabled", "focused", "checked")
                     if node.has_state(s)]
            lines.append("%s%s %r %s %s %s" % ("  " * depth, node.role, node.name,
                                                node.rect, ",".join(flags), " ".join(extra)))
            for child in node.children():
                visit(child, depth + 1)
        visit(self, 0)
        return "\n".join(lines)

    def __repr__(self):
        return "<%s %r at %s>" % (self.role, self.name, self.rect)


def applications():
    """The applications on the accessibility bus as Nodes."""
    Atspi = _atspi()
    root = Atspi.get_desktop(0)
    apps = []
    for i in range(root.get_child_count()):
        try:
            app = root.get_child_at_index(i)
        except Exception:
            continue
        if app is not None:
            apps.append(Node(app))
    return apps


def _no_cache(app):
    """Read names and states live from the program, not from a cache that is
    only refreshed when this process handles events."""
    Atspi = _atspi()
    try:
        app.acc.set_cache_mask(Atspi.Cache.NONE)
    except Exception:
        pass
    try:
        app.acc.clear_cache()
    except Exception:
        pass


def poll(predicate, timeout, interval=0.1, message=None):
    """Call predicate until it returns something true; raise HarnessError with
    message() (or message) after timeout seconds (scaled)."""
    deadline = time.monotonic() + scaled(timeout)
    while True:
        value = predicate()
        if value:
            return value
        if time.monotonic() > deadline:
            text = message() if callable(message) else message
            raise HarnessError(text or "condition not met within %ss" % timeout)
        time.sleep(interval)


# --------------------------------------------------------------------------
# One program with its simulator on the private desktop


def _slug(text):
    return re.sub(r"[^A-Za-z0-9_.-]+", "_", text).strip("_") or "run"


class Orrindel:
    """The program (and by default a simulator on its first port) for one test.

        with Orrindel(language="en", theme="light") as ui:
            ui.click(ui.wait_for("push button", "中/En"))
            ui.wait_for("push button", ("亮色主题", "Light"))
    """

    WINDOW_TITLE = "Orrindel"

    def __init__(self, language="cn", theme="dark", simulator=True, sim_args=(),
                 extra_ports=(), env=None, keep_workdir=False, sim_link=False,
                 config_text=None, launcher=None, binary=None):
        if language not in ("cn", "en"):
            raise ValueError("language must be cn or en")
        if theme not in ("dark", "light"):
            raise ValueError("theme must be dark or light")
        self.language = language
        self.theme = theme
        self.want_simulator = simulator
        self.sim_args = list(sim_args)
        self.sim_link = sim_link
        self.extra_ports = list(extra_ports)
        self.env = env
        self.keep_workdir = keep_workdir
        # See Program: a settings file of its own, a command to run through.
        self.config_text = config_text
        self.launcher = launcher
        # Another program file than the build's (e.g. a copy the test damages).
        self.binary = binary
        self.desktop = None
        self.workdir = None
        self.sim = None
        self.program = None
        self._app = None
        self._window = None
        self._cards = {}

    # --- life cycle ---

    def start(self, window_timeout=60, stop_on_error=True):
        """Start the simulator and the program and wait for the window. On an
        error everything is stopped again unless stop_on_error is false (then
        the caller inspects and calls stop())."""
        self.desktop = desktop()
        problems = self.desktop.problems()
        if problems:
            raise HarnessError("the private desktop of this test process is broken (were its "
                               "processes killed by name?): " + "; ".join(problems))
        _running.add(self)
        self.workdir = tempfile.mkdtemp(prefix="orrindel-e2e-")
        try:
            ports = []
            if self.want_simulator:
                link = os.path.join(self.workdir, "ttyLASER") if self.sim_link else None
                self.sim = Simulator(self.workdir, self.sim_args, link=link).start()
                ports.append(self.sim.line)
            ports += self.extra_ports
            self.program = Program(self.desktop, self.workdir, self.language, self.theme,
                                   ports, env=self.env, config_text=self.config_text,
                                   launcher=self.launcher, binary=self.binary).start()
            self.wait_for_window(window_timeout)
        except BaseException:
            if stop_on_error:
                self.stop()
            raise
        return self

    def stop(self):
        """Stop the program (every copy of it) and the simulator; remove the
        working directory. Safe to call twice."""
        errors = []
        for part in (self.program, self.sim):
            if part is not None:
                try:
                    part.stop()
                except Exception as error:  # keep stopping the rest
                    errors.append(error)
        self.program = None
        self.sim = None
        self._app = self._window = None
        _running.discard(self)
        if self.workdir and not self.keep_workdir:
            shutil.rmtree(self.workdir, ignore_errors=True)
            self.workdir = None
        if errors:
            raise errors[0]

    def __enter__(self):
        return self.start()

    def __exit__(self, *exc):
        self.stop()
        return False

    # --- the window ---

    def _application(self):
        for app in applications():
            if app.pid == self.program.pid:
                return app
        return None

    def wait_for_window(self, timeout=60):
        """The program's frame titled "Orrindel" on the accessibility bus."""
        def found():
            if not self.program.running():
                raise HarnessError("the program exited (code %s) before its window appeared; "
                                   "log:\n%s" % (self.program.exit_code(),
                                                 _tail(self.program.log_path)))
            app = self._application()
            if app is None:
                return None
            _no_cache(app)
            for child in app.children():
                if _role_key(child.role) == "frame" and child.name == self.WINDOW_TITLE:
                    rect = child.rect
                    if rect and rect[2] > 0 and rect[3] > 0:
                        return app, child
            return None

        def explain():
            lines = ["no window titled %r of pid %s within %ss" % (
                self.WINDOW_TITLE, self.program.pid, timeout)]
            problems = self.desktop.problems()
            if problems:
                lines.append("the private desktop is broken (were its processes killed "
                             "by name?): " + "; ".join(problems))
            for app in applications():
                lines.append("  application %r pid %s: %s" % (
                    app.name, app.pid, [(c.role, c.name) for c in app.children()]))
            lines.append("program log:\n" + _tail(self.program.log_path))
            return "\n".join(lines)

        self._app, self._window = poll(found, timeout, interval=0.2, message=explain)
        return self._window

    @property
    def window(self):
        if self._window is None:
            self.wait_for_window()
        return self._window

    def follow_restart(self, timeout=60):
        """After a theme switch: wait for the new copy of the program and its window."""
        self._app = self._window = None
        self._cards = {}
        self.program.wait_for_restart(timeout)
        return self.wait_for_window(timeout)

    # --- finding nodes ---

    def find_all(self, role=None, name=None, showing=None, where=None):
        return self.window.find_all(role, name, showing, where)

    def find(self, role=None, name=None, showing=None, where=None):
        """Exactly one node now, or HarnessError listing what there is."""
        found = self.find_all(role, name, showing, where)
        if len(found) == 1:
            return found[0]
        raise HarnessError(self._lookup_report(role, name, found))

    def wait_for(self, role=None, name=None, timeout=20, showing=True, where=None,
                 index=None):
        """Wait until a node with the role and name (and, by default, shown on
        screen) exists and return it. More than one match is an error unless
        index picks one (0 = first in tree order)."""
        result = {}

        def attempt():
            if not self.program.running():
                raise HarnessError("the program is no longer running; log:\n"
                                   + _tail(self.program.log_path))
            found = self.find_all(role, name, showing, where)
            result["found"] = found
            if index is not None:
                return found[index] if len(found) > index else None
            if len(found) == 1:
                return found[0]
            return None

        return poll(attempt, timeout, interval=0.2, message=lambda: "after %ss: %s" % (
            timeout, self._lookup_report(role, name, result.get("found", []), showing)))

    # Roles a clickable control may have on the bus, best first. A control
    # drawn without an accessible role of its own shows only its text (label).
    BUTTON_ROLES = ("push button", "toggle button", "check box", "radio button",
                    "page tab", "menu item", "list item", "label", "static", "text")

    def find_buttons(self, name, showing=True):
        """Shown nodes named name that can be clicked, best role first."""
        found = self.find_all(None, name, showing)
        ranked = [(self.BUTTON_ROLES.index(_role_key(n.role)), i, n)
                  for i, n in enumerate(found) if _role_key(n.role) in self.BUTTON_ROLES]
        return [n for _, _, n in sorted(ranked, key=lambda t: (t[0], t[1]))]

    def wait_for_button(self, name, timeout=20):
        """A shown button (or, for controls without a role of their own, the
        label on it) named name; name may be alternatives, e.g.
        ("连接", "Connect")."""
        def attempt():
            if not self.program.running():
                raise HarnessError("the program is no longer running; log:\n"
                                   + _tail(self.program.log_path))
            found = self.find_buttons(name)
            return found[0] if found else None
        return poll(attempt, timeout, interval=0.2, message=lambda: "after %ss: %s" % (
            timeout, self._lookup_report("push button", name, [], True)))

    # Roles whose text differs from their name (an input's name is its title).
    TEXT_ROLES = ("text", "password text", "entry", "paragraph", "editbar")

    def wait_for_text(self, wanted, timeout=20):
        """A shown node whose name (or, for an input, whose text) matches
        wanted (a plain string here means "contains")."""
        if isinstance(wanted, str):
            needle = wanted
            wanted = lambda text: text is not None and needle in text  # noqa: E731

        def attempt():
            for node in self.window.walk():
                if not (_name_matches(wanted, node.name)
                        or (_role_key(node.role) in self.TEXT_ROLES
                            and _name_matches(wanted, node.text))):
                    continue
                if node.showing:
                    return node
            return None
        return poll(attempt, timeout, interval=0.25, message=lambda: "no shown text %s after "
                    "%ss; texts: %s" % (_describe_wanted(None, wanted), timeout,
                                        self.window.all_texts()[:200]))

    def wait_gone(self, role=None, name=None, timeout=20, showing=True):
        """Wait until no shown node has the role and name."""
        poll(lambda: not self.find_all(role, name, showing), timeout, interval=0.2,
             message=lambda: "still there after %ss: %s" % (
                 timeout, self.find_all(role, name, showing)))

    def wait_for_name(self, node, wanted, timeout=20):
        """Wait until node's name matches wanted (string, regex, callable, alternatives)."""
        return poll(lambda: _name_matches(wanted, node.name), timeout, interval=0.1,
                    message=lambda: "%r: name is %r, expected %s" % (
                        node, node.name, _describe_wanted(None, wanted)))

    def _lookup_report(self, role, name, found, showing=None):
        lines = ["wanted %s%s: %d match%s" % (
            _describe_wanted(role, name), " (showing)" if showing else "",
            len(found), "" if len(found) == 1 else "es")]
        for node in found[:20]:
            lines.append("  match: %r" % node)
        lines.append("nodes in the window (role 'name'):")
        role_key = _role_key(role) if role is not None else None
        same_role, others = [], []
        for node in self.window.walk():
            entry = "  %s %r%s" % (node.role, node.name, "" if node.showing else " (hidden)")
            (same_role if role_key and _role_key(node.role) == role_key else others).append(entry)
        lines += same_role + others[:150]
        if len(others) > 150:
            lines.append("  ... %d more" % (len(others) - 150))
        return "\n".join(lines)

    def snapshot(self, descriptions=("label",)):
        """One walk over the window: (role, name, showing, description) of
        every node, the description read only for the roles given. Cheaper
        than many lookups when a test checks many texts at once."""
        wanted = {_role_key(r) for r in descriptions}
        rows = []
        for node in self.window.walk():
            role = _role_key(node.role)
            rows.append((role, node.name, node.showing,
                         node.description if role in wanted else ""))
        return rows

    def texts(self, role=None, showing=True):
        """The names of the shown nodes (optionally of one role), in tree order."""
        return [n.name for n in self.find_all(role, None, showing) if n.name]

    # --- input ---

    def click(self, node, button=1, settle=0.3):
        """A real pointer click at the centre of the node's screen rectangle."""
        if not node.showing:
            raise HarnessError("cannot click %r: it is not shown" % (node,))
        x, y = node.center
        self.click_at(x, y, button, settle)

    def click_at(self, x, y, button=1, settle=0.3):
        """A real pointer click at screen position (x, y)."""
        self.desktop.move_pointer(x, y)
        self.desktop.xdotool("click", button)
        time.sleep(settle)

    def type_text(self, text, delay_ms=30):
        """Type text into whatever has the keyboard focus (click the input first)."""
        self.desktop.xdotool("type", "--delay", delay_ms, "--", text)

    def key(self, *keys):
        """Press keys or chords, e.g. key("Return"), key("ctrl+a", "BackSpace")."""
        self.desktop.xdotool("key", "--delay", 50, *keys)

    def select_combo_entry(self, combo, wanted, timeout=10):
        """Make combo show an entry whose text matches wanted (see _name_matches;
        a plain string here means "contains"). Opens the list with a click when
        the entry is not already current."""
        if isinstance(wanted, str):
            needle = wanted
            wanted = lambda name: name is not None and needle in name  # noqa: E731

        def current():
            return any(_name_matches(wanted, t) for t in combo.all_texts())
        if current():
            return combo
        self.click(combo)
        entry = poll(lambda: [n for n in self.find_all(showing=True)
                              if n.acc != combo.acc and _name_matches(wanted, n.name)
                              and _role_key(n.role) not in ("combo box", "text")],
                     timeout, message=lambda: "no entry %s in the open list: %s" % (
                         _describe_wanted(None, wanted), self.texts()))[0]
        self.click(entry)
        poll(current, timeout, message=lambda: "%r does not show %s after choosing %r: %s" % (
            combo, _describe_wanted(None, wanted), entry, combo.all_texts()))
        return combo

    # --- parts of the window, by their accessible names (both languages) ---

    STATUS_CARD = ("设备信息", "DeviceInfo")
    MESSAGE_LIST = ("运行信息", "OperationInformation")
    CARD_ROLES = ("panel", "grouping", "chart")

    def wait_in(self, container, role=None, name=None, timeout=20, showing=True, where=None,
                index=None):
        """Like wait_for, among the descendants of container (a Node)."""
        result = {}

        def attempt():
            if not self.program.running():
                raise HarnessError("the program is no longer running; log:\n"
                                   + _tail(self.program.log_path))
            found = [n for n in container.find_all(role, name, showing, where)
                     if n.acc != container.acc]
            result["found"] = found
            if index is not None:
                return found[index] if len(found) > index else None
            return found[0] if len(found) == 1 else None

        def explain():
            lines = ["after %ss: wanted %s%s inside %r: %d matches" % (
                timeout, _describe_wanted(role, name), " (showing)" if showing else "",
                container, len(result.get("found", [])))]
            lines += ["  match: %r" % n for n in result.get("found", [])[:20]]
            lines.append("inside it:")
            lines += ["  %s %r%s" % (n.role, n.name, "" if n.showing else " (hidden)")
                      for n in container.walk(limit=400)]
            return "\n".join(lines)
        return poll(attempt, timeout, interval=0.2, message=explain)

    def card(self, title, timeout=20):
        """The shown card (a titled panel or chart) called title (alternatives
        allowed). Cards lie near the top of the tree: the search goes level by
        level and stops at the first match; found cards are remembered."""
        key = repr(title)
        cached = self._cards.get(key)
        if cached is not None and cached.showing and _name_matches(title, cached.name):
            return cached

        def attempt():
            if not self.program.running():
                raise HarnessError("the program is no longer running; log:\n"
                                   + _tail(self.program.log_path))
            return self.find_card(title)
        node = poll(attempt, timeout, interval=0.2, message=lambda: "after %ss: %s" % (
            timeout, self._lookup_report("panel", title, [], True)))
        self._cards[key] = node
        return node

    def find_card(self, title, depth=4):
        """The shown card called title now, or None (no waiting)."""
        level = [self.window]
        for _ in range(depth):
            below = []
            for node in level:
                for child in node.children():
                    if (_role_key(child.role) in self.CARD_ROLES
                            and _name_matches(title, child.name) and child.showing):
                        return child
                    below.append(child)
            level = below
        return None

    def button_in(self, container, name, timeout=20):
        """The shown button named name inside container."""
        return self.wait_in(container, "push button", name, timeout)

    def status_item(self, title, timeout=20):
        """A status item of the device card: its accessible name is the title,
        its description the value it shows (values of several boxes joined
        by blanks). Found items are remembered while their name still fits."""
        key = ("status", repr(title))
        node = self._cards.get(key)
        if node is not None and _name_matches(title, node.name):
            return node
        node = self.wait_in(self.card(self.STATUS_CARD, timeout), "label", title, timeout,
                            showing=None)
        self._cards[key] = node
        return node

    def wait_for_status(self, title, wanted, timeout=20):
        """Wait until the status item titled title shows wanted (see
        _name_matches; a plain string is an exact match); returns the value."""
        item = self.status_item(title, timeout)
        self.wait_for_description(item, wanted, timeout)
        return item.description

    def wait_for_description(self, node, wanted, timeout=20):
        """Wait until node's description matches wanted; returns it."""
        poll(lambda: _name_matches(wanted, node.description), timeout, interval=0.1,
             message=lambda: "%r: description is %r, expected %s" % (
                 node, node.description, _describe_wanted(None, wanted)))
        return node.description

    def message_list(self, timeout=20):
        """The message list (inside its card of the same name)."""
        key = "message list"
        node = self._cards.get(key)
        if node is not None and node.showing and _name_matches(self.MESSAGE_LIST, node.name):
            return node
        card = self.find_card(self.MESSAGE_LIST)
        if card is not None:
            node = self.wait_in(card, "list", self.MESSAGE_LIST, timeout)
        else:
            node = self.wait_for("list", self.MESSAGE_LIST, timeout)
        self._cards[key] = node
        return node

    def message_lines(self):
        """The lines (shown text items) of the message list, top to bottom.
        The list creates items only for the lines in and near its view, so a
        long list gives its newest lines."""
        shown = []
        for node in self.message_list().find_all("label", showing=True):
            rect = node.rect
            if node.name and rect and rect[3] > 0:
                shown.append((rect[1], node.name))
        return [name for _, name in sorted(shown, key=lambda entry: entry[0])]

    def wait_for_message(self, wanted, timeout=20, since=None):
        """A line of the message list that matches wanted (a plain string
        here means "contains") and, with since (an earlier message_lines()),
        was not there then (lines are compared as a multiset)."""
        if isinstance(wanted, str):
            needle = wanted
            wanted = lambda line: line is not None and needle in line  # noqa: E731

        def attempt():
            for line in self.new_message_lines(since):
                if _name_matches(wanted, line):
                    return line
            return None
        return poll(attempt, timeout, interval=0.25, message=lambda: "no %smessage line %s "
                    "after %ss; the list shows:\n  %s" % (
                        "new " if since is not None else "", _describe_wanted(None, wanted),
                        timeout, "\n  ".join(self.message_lines())))

    def new_message_lines(self, since=None):
        """The lines shown now that were not in since (an earlier message_lines())."""
        lines = self.message_lines()
        if since is None:
            return lines
        old = list(since)
        fresh = []
        for line in lines:
            if line in old:
                old.remove(line)
            else:
                fresh.append(line)
        return fresh

    def top_levels(self):
        """The program's top-level windows (its main window, dialogs of their own)."""
        app = self._application()
        if app is None:
            return []
        _no_cache(app)
        return app.children()

    def wait_for_top_level(self, name, role=None, timeout=20):
        """A shown top-level window of the program named name, such as a file
        dialog (which is a window of its own, not part of the main window)."""
        def attempt():
            if not self.program.running():
                raise HarnessError("the program is no longer running; log:\n"
                                   + _tail(self.program.log_path))
            for node in self.top_levels():
                if (_name_matches(name, node.name) and node.showing
                        and (role is None or _role_key(node.role) == _role_key(role))):
                    return node
            return None
        return poll(attempt, timeout, interval=0.2, message=lambda: "no top-level window %s "
                    "after %ss; the program has: %s" % (
                        _describe_wanted(role, name), timeout,
                        [(n.role, n.name, n.showing) for n in self.top_levels()]))

    # --- more input ---

    def set_input(self, node, text):
        """Replace the text of an input: click into it, select all, type."""
        self.click(node)
        self.key("ctrl+a")
        self.type_text(text)

    def wheel(self, node, notches, delay_ms=80):
        """Turn the mouse wheel over the centre of node: notches > 0 up, < 0 down."""
        if not node.showing:
            raise HarnessError("cannot turn the wheel over %r: it is not shown" % (node,))
        x, y = node.center
        self.desktop.move_pointer(x, y)
        if notches:
            self.desktop.xdotool("click", "--repeat", abs(notches), "--delay", delay_ms,
                                 4 if notches > 0 else 5)
        time.sleep(0.2)

    CONNECTION_CARD = ("设备连接", "DeviceConnect")
    DEVICE_ID = ("设备编号", "Device ID")
    CONNECT = ("连接", "Connect")
    DISCONNECT = ("断开", "Disconnect")

    def connect_simulator(self, timeout=30):
        """Connect the program to the simulator the way an operator does: pick
        the simulator's port in the port list and press Connect; wait until the
        button reads Disconnect and the simulator's device number shows.
        Returns False when the window has no Connect button (nothing done)."""
        if self.sim is None:
            raise HarnessError("no simulator was started")
        # The connection card when the window has one (a small subtree to
        # search), else the whole window.
        scope = self.find_card(self.CONNECTION_CARD) or self.window
        buttons = scope.find_all("push button", self.CONNECT, showing=True) \
            or self.find_buttons(self.CONNECT)
        if not buttons:
            return False
        entry = "(%s)" % self.sim.line
        combos = scope.find_all("combo box", showing=True)
        if combos:
            holding = [c for c in combos if any(entry in t for t in c.all_texts())]
            self.select_combo_entry(holding[0] if holding else combos[0], entry, timeout)
        self.click(buttons[0])
        if scope is not self.window:
            poll(lambda: scope.find_all("push button", self.DISCONNECT, showing=True), timeout,
                 interval=0.2, message=lambda: "the connect button never read %s: %s" % (
                     self.DISCONNECT, [(n.role, n.name) for n in scope.walk(limit=50)]))
        else:
            self.wait_for_button(self.DISCONNECT, timeout)
        return True

    def wait_for_live_values(self, device_id=None, timeout=30):
        """Wait until the window shows the simulator's device number (its
        --id, by default SN240403), i.e. status records arrive and are shown."""
        if device_id is None:
            device_id = "SN240403"
            args = self.sim_args
            for i, arg in enumerate(args):
                if arg == "--id" and i + 1 < len(args):
                    device_id = args[i + 1]
                elif arg.startswith("--id="):
                    device_id = arg[len("--id="):]
        # The device card's number item when there is one (quick to read),
        # else any text of the window.
        card = self.find_card(self.STATUS_CARD)
        items = card.find_all("label", self.DEVICE_ID) if card is not None else []
        if items:
            self.wait_for_description(items[0], lambda value: device_id in value, timeout)
            return items[0]
        return self.wait_for_text(device_id, timeout)

    # --- output ---

    @property
    def window_rect(self):
        return self.window.rect

    def screenshot(self, path, whole_screen=False):
        """A PNG of the program's window (or of the whole screen)."""
        rect = None
        if not whole_screen:
            try:
                rect = self.window.rect
            except HarnessError:
                rect = None
        return self.desktop.screenshot(path, rect)

    def dump_tree(self):
        """The accessible tree of the window (of the whole application when the
        window was not found), without waiting."""
        try:
            if self._window is not None:
                return self._window.outline()
            app = self._application() if self.program is not None else None
            if app is None:
                return "(the program is not on the accessibility bus; applications: %s)" % [
                    (a.name, a.pid) for a in applications()]
            _no_cache(app)
            return app.outline()
        except Exception as error:
            return "(no accessible tree: %s)" % error

    def save_artifacts(self, directory, stem):
        """Screenshot, accessible tree and logs, for a failed test."""
        os.makedirs(directory, exist_ok=True)
        stem = _slug(stem)
        saved = []
        if self.desktop is not None and self.desktop.started:
            try:
                saved.append(self.desktop.screenshot(os.path.join(directory, stem + ".png")))
            except Exception as error:
                sys.stderr.write("screenshot failed: %s\n" % error)
        parts = [("tree.txt", self.dump_tree() if self.program else "")]
        if self.program is not None:
            parts.append(("program.log", _tail(self.program.log_path, 400)))
        if self.sim is not None:
            parts.append(("sim-stderr.log", self.sim.stderr()))
            parts.append(("sim-stdout.log", "\n".join(self.sim.stdout_lines)))
            parts.append(("sim-commands.jsonl",
                          "\n".join(json.dumps(e) for e in self.sim.commands())))
        for suffix, content in parts:
            path = os.path.join(directory, "%s.%s" % (stem, suffix))
            with open(path, "w", encoding="utf-8") as f:
                f.write(content + "\n")
            saved.append(path)
        return saved


# --------------------------------------------------------------------------
# unittest support


class UITestCase(unittest.TestCase):
    """Starts one program (and simulator) per test; on failure leaves the
    screenshot, the accessible tree and the logs in artifacts_dir()."""

    language = "cn"
    theme = "dark"
    simulator = True
    sim_args = ()
    sim_link = False

    def setUp(self):
        self.ui = Orrindel(language=self.language, theme=self.theme,
                           simulator=self.simulator, sim_args=self.sim_args,
                           sim_link=self.sim_link)
        self.addCleanup(self._finish)
        self.ui.start(stop_on_error=False)

    def _failed(self):
        """True when setUp, the test or a sub-test of it has failed so far."""
        outcome = getattr(self, "_outcome", None)
        result = getattr(outcome, "result", None)
        if result is None:
            return False
        for test, _ in list(getattr(result, "errors", [])) + list(getattr(result, "failures", [])):
            if test is self or getattr(test, "test_case", None) is self:
                return True
        return False

    def _finish(self):
        try:
            if self._failed() and self.ui.program is not None:
                saved = self.ui.save_artifacts(artifacts_dir(), self.id())
                sys.stderr.write("\nartifacts of %s:\n  %s\n" % (self.id(), "\n  ".join(saved)))
        finally:
            self.ui.stop()
