"""What every part of the harness shares: where the binaries are, timeouts
and polling, the error it raises, where failed tests leave their artifacts,
and small helpers for logs and pipes."""

import os
import re
import tempfile
import threading
import time

# The window tests' folder (this package lives inside it).
HERE = os.path.dirname(os.path.dirname(os.path.abspath(__file__)))
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


def _slug(text):
    return re.sub(r"[^A-Za-z0-9_.-]+", "_", text).strip("_") or "run"
