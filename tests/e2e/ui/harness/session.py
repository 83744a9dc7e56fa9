"""One program (and by default a simulator on its first port) on the
private desktop: starting and stopping them, the program's window on the
accessibility bus, following a restart, screenshots and the artifacts of a
failed test."""

import json
import os
import shutil
import sys
import tempfile

from .atspi_nodes import _no_cache, _role_key, applications
from .common import HarnessError, _slug, _tail, poll
from .desktop import _running, desktop
from .program import Program
from .simulator import Simulator


class Session:
    """The processes of one test and the program's window; ``Orrindel``
    adds lookups, input and the cards on top."""

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
