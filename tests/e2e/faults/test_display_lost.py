"""The display server goes away under the running program (a remote X
session dropped, the desktop killed): Qt ends the program with exit code 1.
It must end that way, not crash on the way out, and leave its session
journal sound for the next start.

Stand-alone on purpose: the window harness keeps one display per process,
and this test takes its display away.
"""

import os
import signal
import sqlite3
import subprocess
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "ui"))

from orrindel_ui import program_path, scaled  # noqa: E402

DATABASE = "session-journal.sqlite"


def start_display(workdir):
    """A private Xvfb; returns (process, display name)."""
    read_end, write_end = os.pipe()
    xvfb = subprocess.Popen(["Xvfb", "-displayfd", str(write_end), "-screen", "0",
                             "1280x800x24", "-nolisten", "tcp"],
                            pass_fds=(write_end,), stdout=subprocess.DEVNULL,
                            stderr=open(os.path.join(workdir, "xvfb.log"), "wb"))
    os.close(write_end)
    number = b""
    deadline = time.monotonic() + scaled(20)
    while not number.endswith(b"\n"):
        if time.monotonic() > deadline:
            xvfb.kill()
            raise RuntimeError("Xvfb did not report its display")
        chunk = os.read(read_end, 16)
        if not chunk:
            raise RuntimeError("Xvfb ended at start")
        number += chunk
    os.close(read_end)
    return xvfb, ":" + number.decode().strip()


class DisplayLost(unittest.TestCase):

    def test_losing_the_display_ends_the_program_without_a_crash(self):
        for attempt in range(3):
            with self.subTest(attempt=attempt), tempfile.TemporaryDirectory() as workdir:
                self.lose_display_once(workdir)

    def lose_display_once(self, workdir):
        data = os.path.join(workdir, "data")
        xvfb, display = start_display(workdir)
        env = dict(os.environ, DISPLAY=display, QT_QPA_PLATFORM="xcb",
                   ORRINDEL_DATA_DIR=data, XDG_DATA_HOME=os.path.join(workdir, "xdg"))
        log_path = os.path.join(workdir, "program.log")
        with open(log_path, "wb") as log:
            program = subprocess.Popen([program_path()], cwd=workdir, env=env,
                                       stdin=subprocess.DEVNULL, stdout=log,
                                       stderr=subprocess.STDOUT)
        try:
            # Running with its journal open: the window's first line is in it.
            deadline = time.monotonic() + scaled(30)
            while not self.journal_has_lines(os.path.join(data, DATABASE)):
                self.assertIsNone(program.poll(), "the program ended before losing its display")
                self.assertLess(time.monotonic(), deadline, "no journal after 30 s")
                time.sleep(0.2)
            xvfb.kill()
            xvfb.wait()
            code = program.wait(timeout=scaled(30))
        finally:
            if program.poll() is None:
                program.kill()
                program.wait()
            if xvfb.poll() is None:
                xvfb.kill()
                xvfb.wait()
        with open(log_path, "rb") as f:
            output = f.read().decode("utf-8", "replace")
        self.assertGreaterEqual(
            code, 0, "ended by signal %s:\n%s" % (signal.Signals(-code).name if code < 0
                                                  else code, output))
        self.assertIn("X11 connection broke", output)
        db = sqlite3.connect("file:%s?mode=ro" % os.path.join(data, DATABASE), uri=True)
        try:
            self.assertEqual(db.execute("PRAGMA integrity_check").fetchone()[0], "ok")
        finally:
            db.close()

    @staticmethod
    def journal_has_lines(path):
        if not os.path.exists(path):
            return False
        try:
            db = sqlite3.connect("file:%s?mode=ro" % path, uri=True, timeout=0.5)
            try:
                tables = [r[0] for r in db.execute(
                    "SELECT name FROM sqlite_master WHERE type = 'table'")]
                return any(db.execute("SELECT count(*) FROM %s" % t).fetchone()[0] > 0
                           for t in tables if t.startswith("lines"))
            finally:
                db.close()
        except sqlite3.Error:
            return False


if __name__ == "__main__":
    unittest.main()
