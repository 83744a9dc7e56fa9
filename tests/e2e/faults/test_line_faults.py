"""A bad line between the program and the controller: corrupt frames and
noise at full rate, a line that never pauses, a status stream that stops.
Through all of it the window shows every valid record and message, takes
nothing corrupt, keeps its memory and answers clicks.

    cd tests/e2e/faults && /usr/bin/python3 -m unittest -v test_line_faults
"""

import statistics
import time
import unittest

from fault_support import (HUMIDITY, click_answers, decoy_lines, figure, humidity_seen_after,
                           mib, scaled, shows_humidity, wait_seconds)
from orrindel_ui import UITestCase

VERSION = "V2.3.1-QCW"


class LineCase(UITestCase):
    language = "cn"

    def connect_online(self):
        ui = self.ui
        ui.connect_simulator()
        ui.wait_for_live_values()
        ui.sim.wait_for_command("queryVersion", timeout=10)
        ui.wait_for_message(VERSION)

    def queries(self):
        return len(self.ui.sim.commands("queryVersion"))


class GarbageAtFullRate(LineCase):
    """A status record every 10 ms (the fastest the controller sends), each
    behind a burst of noise or a frame that is wrong in one way: the line
    runs at about its full 115200 baud."""
    sim_args = ("--period", "10")
    RUN_SECONDS = 60

    def test_every_valid_frame_is_shown_and_no_corrupt_one_for_a_minute(self):
        ui = self.ui
        self.connect_online()
        ui.sim.console("garbage on")
        started = time.monotonic()
        humidity = 20
        sent = 0
        latencies = []
        rss = []
        while time.monotonic() - started < scaled(self.RUN_SECONDS):
            # A value set in the device shows; a message sent by it shows.
            humidity += 1
            latencies.append(humidity_seen_after(ui, humidity))
            lines = ui.message_lines()
            sent += 1
            text = "valid message %d amid the garbage" % sent
            ui.sim.console("send " + text)
            ui.wait_for_message(text, timeout=10, since=lines)
            rss.append((time.monotonic() - started, ui.program.rss_kb()))
            wait_seconds(1.5)
        self.assertEqual(decoy_lines(ui), [], "the program took a corrupt frame")
        answer = click_answers(ui)
        self.assertTrue(ui.program.running())
        # One version query: no corrupt byte made the device look offline.
        self.assertEqual(self.queries(), 1)

        # Memory after the first stretch against the end of the run.
        warm = [kb for at, kb in rss if at >= 10] or [rss[0][1]]
        growth = mib(rss[-1][1] - warm[0])
        figure("garbage at 10 ms for %.0f s: %d values and %d messages seen; value latency "
               "median %.0f ms, max %.0f ms; click answered in %.0f ms; VmRSS %.1f MiB at "
               "10 s, %.1f MiB at the end (%+.1f MiB)",
               time.monotonic() - started, len(latencies), sent,
               1000 * statistics.median(latencies), 1000 * max(latencies), 1000 * answer,
               mib(warm[0]), mib(rss[-1][1]), growth)
        self.assertLess(growth, 40, "memory grew by %.1f MiB under garbage" % growth)


class NeverPausingLine(LineCase):
    """Records every 20 ms and a filler byte whenever the line would be
    quiet for 25 ms: the line never pauses the 75 ms that end a frame
    burst, so only the program's bound on the de-framing delay gets the
    records to the window."""
    sim_args = ("--period", "20")

    def test_records_reach_the_window_promptly_and_status_gaps_are_told_apart(self):
        ui = self.ui
        self.connect_online()
        ui.sim.console("nopause on")
        wait_seconds(1.0)
        latencies = [humidity_seen_after(ui, value, timeout=10) for value in range(30, 40)]
        lines = ui.message_lines()
        ui.sim.console("send still framed")
        ui.wait_for_message("still framed", timeout=5, since=lines)
        answer = click_answers(ui)
        wait_seconds(1.5)
        figure("never-pausing line, records every 20 ms: value latency median %.0f ms, "
               "max %.0f ms over %d values; click answered in %.0f ms",
               1000 * statistics.median(latencies), 1000 * max(latencies), len(latencies),
               1000 * answer)
        self.assertEqual(self.queries(), 1, "the device went offline on a line that never "
                         "pauses")
        self.assertLess(max(latencies), scaled(1.0), "a value took %.2f s to reach the window "
                        "(latencies %s)" % (max(latencies), ["%.2f" % l for l in latencies]))

        # The status stops and resumes while the filler goes on keeping the
        # line busy: the device still goes offline, and each return asks
        # exactly once for the version. A gap shorter than the online
        # timeout changes nothing.
        ui.sim.console("silent on")
        time.sleep(0.4)
        ui.sim.console("silent off")
        wait_seconds(1.5)
        self.assertEqual(self.queries(), 1, "a gap of 0.4 s made the device count as offline")

        for cycle in range(3):
            lines = ui.message_lines()
            ui.sim.console("silent on")
            time.sleep(1.8)
            # Set during the silence: the first record after it shows it.
            ui.sim.console("humidity %d" % (50 + cycle))
            ui.sim.console("silent off")
            ui.sim.wait_for_command("queryVersion", timeout=5, after=1 + cycle)
            ui.wait_for_message(VERSION, timeout=5, since=lines)
            ui.wait_for_status(HUMIDITY, shows_humidity(50 + cycle), timeout=5)
            wait_seconds(1.2)
            self.assertEqual(self.queries(), 2 + cycle, "coming back online should send "
                             "exactly one version query")
        click_answers(ui)


if __name__ == "__main__":
    unittest.main()
