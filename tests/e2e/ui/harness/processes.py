"""Process helpers: children that die with the test process, adopted
orphans (the detached copy a theme switch starts), stopping and reaping."""

import ctypes
import os
import signal
import subprocess
import time

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
