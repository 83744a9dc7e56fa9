"""What the fault scenarios share: the window harness of tests/e2e/ui, and
checks that the window still answers and still shows live values.

Figures (latencies, memory) are printed on standard error with the prefix
"figure:", so a run's log shows them next to the verdict.
"""

import os
import re
import sys
import time

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "ui"))

import orrindel_ui  # noqa: E402,F401
from orrindel_ui import poll, scaled  # noqa: E402

HUMIDITY = ("环境湿度", "Ambient Humidity")
INT_CTRL = ("激光内控", "LaserInternalControl")
CONTINUOUS = ("持续出光模式", "Continuous emission mode")


def figure(text, *args):
    sys.stderr.write("figure: " + (text % args if args else text) + "\n")
    sys.stderr.flush()


def shows_humidity(value):
    """A test for the humidity item's description: exactly value %Rh."""
    wanted = "%d%%Rh" % value

    def test(description):
        return description is not None and re.sub(r"\s+", "", description) == wanted
    test.__name__ = "shows_%s" % wanted
    return test


def humidity_seen_after(ui, value, timeout=10, interval=0.02):
    """Force the simulator's humidity to value and wait until the window
    shows it; returns the seconds from the console command to the sight."""
    item = ui.status_item(HUMIDITY)
    test = shows_humidity(value)
    start = time.monotonic()
    ui.sim.console("humidity %d" % value)
    poll(lambda: test(item.description), timeout, interval=interval,
         message=lambda: "the window shows humidity %r, not %d%%Rh, %.1f s after the "
         "simulator was set to it" % (item.description, value, time.monotonic() - start))
    return time.monotonic() - start


def click_answers(ui, timeout=5):
    """A click on the continuous-mode button (it only changes the window)
    turns it on, a second one off again: the window answers. Returns the
    longer of the two click-to-state times in seconds."""
    button = ui.button_in(ui.card(INT_CTRL), CONTINUOUS)
    longest = 0.0
    for wanted in (not button.has_state("checked"), button.has_state("checked")):
        start = time.monotonic()
        ui.click(button, settle=0)
        poll(lambda: button.has_state("checked") == wanted, timeout, interval=0.02,
             message="the continuous-mode button did not answer a click within %ss" % timeout)
        longest = max(longest, time.monotonic() - start)
    return longest


def decoy_lines(ui):
    """Message lines that come from a corrupt frame the program took."""
    return [line for line in ui.message_lines() if "CORRUPT FRAME ACCEPTED" in line]


def mib(kb):
    return kb / 1024.0


def wait_seconds(seconds):
    """A deliberate stretch of run time (the fault is the point), scaled."""
    time.sleep(scaled(seconds))
