"""The program process: the real binary in its own working directory with
its own settings file, followed across the restart a theme switch causes."""

import os
import subprocess
import time

from .common import HarnessError, _tail, program_path, scaled
from .processes import (_become_subreaper, _pid_alive, _processes_of, _stop_popen,
                        _terminate_pid)


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
