"""Losing and regaining the line over and over: the controller hangs up
twenty times, the operator connects and disconnects a hundred times. The
program neither crashes nor grows, and shows live values after every
reconnection.

    cd tests/e2e/faults && /usr/bin/python3 -m unittest -v test_reconnect_cycles
"""

import time
import unittest

from fault_support import click_answers, figure, humidity_seen_after, mib
from orrindel_ui import UITestCase, poll

CONNECT = "连接"
DISCONNECT = "断开"
WARNING = "警告"
CONNECT_FAILED = "连接失败"


def wait_name(button, wanted, timeout=10):
    poll(lambda: button.name == wanted, timeout, interval=0.02,
         message=lambda: "the connect button reads %r, not %r" % (button.name, wanted))


class HangUps(UITestCase):
    """Through the simulator's link, which follows the line across its
    hang-ups. Records every 100 ms, so a live value shows quickly."""
    language = "cn"
    sim_link = True
    sim_args = ("--period", "100")
    CYCLES = 20

    def dismiss_connect_failure(self, box):
        ui = self.ui
        ui.wait_in(box, "label", lambda name: name.startswith(CONNECT_FAILED), timeout=5)
        ui.click(ui.button_in(box, "确定"), settle=0)
        ui.wait_gone("dialog", WARNING, timeout=10)

    def test_twenty_hang_ups_each_followed_by_a_reconnection(self):
        """Even cycles: the line comes back after 0.3 s and the program
        reconnects by itself. Odd cycles: the operator presses Connect at
        once; while the line is still gone (2.5 s) that fails and says so,
        and the operator presses again once it is back."""
        ui = self.ui
        ui.connect_simulator()
        ui.wait_for_live_values()
        button = ui.button_in(ui.card(ui.CONNECTION_CARD), DISCONNECT)
        rss = []
        downtimes = []
        refused = 0
        for cycle in range(1, self.CYCLES + 1):
            operator = cycle % 2 == 1
            stdout = len(ui.sim.stdout_lines)
            clients = ui.sim.stderr().splitlines().count("client connected")
            ui.sim.console("hangup %d" % (2500 if operator else 300))
            lost = time.monotonic()
            wait_name(button, CONNECT, timeout=5)
            if operator:
                ui.click(button, settle=0)
                # A busy machine may be slower than the line's return.
                outcome = poll(lambda: button.name == DISCONNECT or ui.find_all(
                    "dialog", WARNING, showing=True), 10, interval=0.05,
                    message="the Connect button did nothing")
                if outcome is not True:
                    refused += 1
                    self.dismiss_connect_failure(outcome[0])
                    self.assertEqual(button.name, CONNECT)
                    ui.sim.wait_for_stdout("reopened ", timeout=10, after=stdout)
                    ui.click(button, settle=0)
            else:
                ui.sim.wait_for_stdout("reopened ", timeout=10, after=stdout)
            wait_name(button, DISCONNECT, timeout=10)
            downtimes.append(time.monotonic() - lost)
            poll(lambda: ui.sim.stderr().splitlines().count("client connected") > clients, 10,
                 message="the simulator saw no new client in cycle %d" % cycle)
            # Live values, not the last ones from before the hang-up.
            humidity_seen_after(ui, 20 + cycle)
            self.assertTrue(ui.program.running())
            if cycle in (1, self.CYCLES):
                rss.append(ui.program.rss_kb())
        answer = click_answers(ui)
        growth = mib(rss[-1] - rss[0])
        figure("%d hang-ups (%d presses of Connect refused while the line was gone): down "
               "%.1f to %.1f s per cycle; VmRSS %.1f MiB after the first, %.1f MiB after the "
               "last (%+.1f MiB); click answered in %.0f ms", self.CYCLES, refused,
               min(downtimes), max(downtimes), mib(rss[0]), mib(rss[-1]), growth, 1000 * answer)
        self.assertGreater(refused, 0, "no press of Connect came while the line was gone")
        self.assertLess(growth, 30, "memory grew by %.1f MiB over %d hang-ups"
                        % (growth, self.CYCLES))


class ConnectButtonCycles(UITestCase):
    language = "cn"
    sim_args = ("--period", "100")
    CYCLES = 100

    def test_hundred_connect_disconnect_cycles_through_the_button(self):
        ui = self.ui
        ui.connect_simulator()
        ui.wait_for_live_values()
        button = ui.button_in(ui.card(ui.CONNECTION_CARD), DISCONNECT)
        rss = {}
        started = time.monotonic()
        # The pointer stays on the button: after the first click, real
        # clicks where it is (the button keeps its place and size).
        ui.click(button, settle=0)
        wait_name(button, CONNECT)
        ui.desktop.xdotool("click", 1)
        wait_name(button, DISCONNECT)
        for cycle in range(2, self.CYCLES + 1):
            ui.desktop.xdotool("click", 1)
            wait_name(button, CONNECT)
            ui.desktop.xdotool("click", 1)
            wait_name(button, DISCONNECT)
            if cycle in (10, self.CYCLES):
                # Records have been arriving again before memory is read.
                humidity_seen_after(ui, 20 + cycle % 50)
                rss[cycle] = ui.program.rss_kb()
        elapsed = time.monotonic() - started
        self.assertTrue(ui.program.running())
        # Still live and still answering.
        humidity_seen_after(ui, 77)
        answer = click_answers(ui)
        lines = ui.message_lines()
        ui.sim.console("send after a hundred reconnections")
        ui.wait_for_message("after a hundred reconnections", timeout=10, since=lines)
        growth = mib(rss[self.CYCLES] - rss[10])
        figure("%d connect/disconnect cycles in %.0f s; VmRSS %.1f MiB after 10, %.1f MiB "
               "after %d (%+.1f MiB); click answered in %.0f ms", self.CYCLES, elapsed,
               mib(rss[10]), mib(rss[self.CYCLES]), self.CYCLES, growth, 1000 * answer)
        self.assertLess(growth, 30, "memory grew by %.1f MiB over %d cycles"
                        % (growth, self.CYCLES))


if __name__ == "__main__":
    unittest.main()
