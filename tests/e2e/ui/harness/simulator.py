"""The simulator process: ``orrindel-sim`` on a pseudo-terminal with a
command log and a console pipe."""

import json
import os
import subprocess
import threading
import time

from .atspi_nodes import _describe_wanted, _name_matches
from .common import HarnessError, _tail, poll, scaled, simulator_path
from .processes import _die_with_parent, _stop_popen


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
