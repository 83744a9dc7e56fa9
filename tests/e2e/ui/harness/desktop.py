"""The private desktop: an X server, a D-Bus session and the accessibility
bus, one per test process, stopped at exit together with everything the
harness started on it."""

import atexit
import os
import re
import shutil
import signal
import subprocess
import sys
import tempfile
import threading
import time

from .atspi_nodes import _atspi
from .common import (SCREEN_DEPTH, SCREEN_SIZE, HarnessError, _read_line_with_timeout,
                     _read_with_timeout, _tail, scaled)
from .processes import _HARNESS_COMMANDS, _die_with_parent, _stop_adopted, _stop_popen


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
        # A launcher that does not come up is tried again after a pause (the
        # machine may be busy), and only then does the desktop give up.
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
        # A call to org.a11y.Bus before our launcher owns that name would make
        # the session bus start a launcher of its own from its service file;
        # ours then loses the name and quits (exit code 0), and so would every
        # later try while that one lives. So: ask only once the name has an
        # owner, which starts nothing.
        while not self._a11y_bus_name_owned(env):
            if self._launcher.poll() is not None or time.monotonic() > deadline:
                return False
            time.sleep(0.1)
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

    @staticmethod
    def _a11y_bus_name_owned(env):
        probe = subprocess.run(
            ["dbus-send", "--session", "--print-reply", "--dest=org.freedesktop.DBus",
             "/org/freedesktop/DBus", "org.freedesktop.DBus.NameHasOwner",
             "string:org.a11y.Bus"],
            env=env, stdout=subprocess.PIPE, stderr=subprocess.PIPE, timeout=10)
        return probe.returncode == 0 and b"boolean true" in probe.stdout

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
