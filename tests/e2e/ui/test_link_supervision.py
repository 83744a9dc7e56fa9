"""Supervision of the line: the device goes offline when its status stops
(and asks for the version once when it comes back), and a hung-up line
leaves the program idle until the port is offered again, when it reconnects
by itself.

    cd tests/e2e/ui && /usr/bin/python3 -m unittest -v test_link_supervision
"""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import orrindel_ui  # noqa: E402
from orrindel_ui import UITestCase, scaled  # noqa: E402

RX_LAMP = "接收指示"
ADVANCED = ("高级设置", "Advanced")
QCW_TAB = ("QCW参数", "QCW")
QCW_SWITCH = "QCW使能状态"
OFFLINE_AFTER = 1.1  # seconds without a status record


def lamp_samples(lamp, seconds, interval=0.05):
    """How often the receive lamp read lit and dark while sampling it."""
    lit = dark = 0
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        if lamp.has_state("checked"):
            lit += 1
        else:
            dark += 1
        time.sleep(interval)
    return lit, dark


class StatusSilence(UITestCase):
    """Records every 200 ms, so a silence of the simulator sets the gap
    between two records to within 200 ms of its length."""
    language = "cn"
    sim_args = ("--period", "200")

    def connect_online(self):
        self.ui.connect_simulator()
        self.ui.wait_for_live_values()
        self.ui.sim.wait_for_command("queryVersion", timeout=10)
        # The version reply (which names QCW) has been handled.
        self.ui.wait_for_message("V2.3.1-QCW")

    def queries(self):
        return len(self.ui.sim.commands("queryVersion"))

    def silence(self, seconds):
        self.ui.sim.console("silent on")
        time.sleep(seconds)
        self.ui.sim.console("silent off")

    def test_receive_lamp_flashes_with_records_and_stays_dark_while_silent(self):
        self.connect_online()
        lamp = self.ui.card(("设备信息", "DeviceInfo"))
        lamp = self.ui.wait_in(lamp, "status bar", RX_LAMP)
        lit, dark = lamp_samples(lamp, scaled(1.5))
        self.assertGreater(lit, 0, "the receive lamp never lit while records arrived")
        self.assertGreater(dark, 0, "the receive lamp never went dark between records")

        self.ui.sim.console("silent on")
        time.sleep(0.5)  # the last record's flash (250 ms) ends
        lit, dark = lamp_samples(lamp, scaled(1.5))
        self.assertEqual(lit, 0, "the receive lamp lit although no record arrived")
        self.ui.sim.console("silent off")
        orrindel_ui.poll(lambda: lamp.has_state("checked"), 5, interval=0.03,
                         message="the receive lamp did not light again when records resumed")

    def test_silence_longer_than_the_online_timeout_brings_one_new_version_query(self):
        self.connect_online()
        time.sleep(scaled(1.0))
        self.assertEqual(self.queries(), 1)

        # A gap of at most 0.4 + 0.2 s: still online, no new query.
        self.silence(0.4)
        time.sleep(scaled(1.5))
        self.assertEqual(self.queries(), 1, "a gap of well under %.1f s between records made "
                         "the device count as offline" % OFFLINE_AFTER)

        # A gap of 1.6 s or more: offline, and back online with the next record.
        lines = self.ui.message_lines()
        self.silence(1.6)
        self.ui.sim.wait_for_command("queryVersion", timeout=5, after=1)
        time.sleep(scaled(2.0))
        self.assertEqual(self.queries(), 2, "coming back online should send exactly one "
                         "version query")
        self.ui.wait_for_message("V2.3.1-QCW", since=lines)

    def test_offline_disables_the_qcw_controls_until_the_version_reply(self):
        """Offline, the window forgets that the device has QCW mode: the QCW
        switch stops answering clicks until the version reply says QCW again."""
        self.connect_online()
        ui = self.ui
        card = ui.card(ADVANCED)
        ui.click(ui.wait_in(card, "page tab", QCW_TAB))
        switch = ui.wait_in(card, "check box", QCW_SWITCH)
        time.sleep(0.5)  # the page's pop-in
        self.assertEqual(switch.description, "关")
        ui.click(switch)
        ui.wait_for_description(switch, "开", timeout=5)
        ui.click(switch)
        ui.wait_for_description(switch, "关", timeout=5)

        ui.sim.console("silent on")
        time.sleep(scaled(2.0))
        ui.click(switch)
        time.sleep(0.5)
        self.assertEqual(switch.description, "关",
                         "the QCW switch still answers while the device is offline")

        queries = self.queries()
        ui.sim.console("silent off")
        ui.sim.wait_for_command("queryVersion", timeout=5, after=queries)

        def toggles():
            # One click, then time for the switch to show it (a second click
            # too early would turn it back).
            ui.click(switch, settle=0.1)
            deadline = time.monotonic() + scaled(2.0)
            while time.monotonic() < deadline:
                if switch.description == "开":
                    return True
                time.sleep(0.1)
            return False
        orrindel_ui.poll(toggles, 12, interval=0.1,
                         message="the QCW switch does not answer after the device came back")
        # Nothing of this went to the device.
        self.assertEqual(ui.sim.commands("setAdvancedParam"), [])


class HangUp(UITestCase):
    """The program is connected through the simulator's link, which survives
    the simulator's hang-up (the pseudo-terminal behind it may change)."""
    language = "cn"
    sim_link = True

    def test_hang_up_idles_the_program_and_it_reconnects_when_the_port_returns(self):
        ui = self.ui
        ui.connect_simulator()
        ui.wait_for_live_values()
        ui.sim.wait_for_command("queryVersion", timeout=10)
        time.sleep(scaled(1.0))
        self.assertEqual(len(ui.sim.commands("queryVersion")), 1)
        lines = ui.message_lines()
        stdout = len(ui.sim.stdout_lines)
        port = ui.sim.line
        card = ui.card(ui.CONNECTION_CARD)
        # The connect button: the same node reads "断开" or "连接".
        button = ui.button_in(card, "断开")

        ui.sim.console("hangup 4000")
        hung_up = time.monotonic()
        ui.wait_for_name(button, "连接", timeout=3)
        # Idle while the port is gone: no busy loop on the dead line. (First
        # the window's transitions end: the button's colours, and 1.1 s after
        # the last record the offline state.)
        time.sleep(1.2)
        share = ui.program.cpu_share(2.0)
        self.assertEqual(button.name, "连接", "the program was connected again before the "
                         "measurement ended, %.1f s after the hang-up"
                         % (time.monotonic() - hung_up))
        self.assertLess(share, 0.10, "the program used %.0f %% of a core while disconnected"
                        % (share * 100))
        lost = ui.wait_for_message(lambda l: port in l and "断开" in l, timeout=5, since=lines)
        self.assertNotIn("重新连接", lost)
        self.assertEqual(len(ui.sim.commands("queryVersion")), 1)

        # The simulator offers the line again after 4 s; the program
        # reconnects by itself.
        ui.sim.wait_for_stdout("reopened ", timeout=10, after=stdout)
        ui.wait_for_name(button, "断开", timeout=10)
        ui.wait_for_message(lambda l: "已重新连接" in l and port in l, timeout=10, since=lines)
        ui.sim.wait_for_command("queryVersion", timeout=10, after=1)
        ui.wait_for_live_values()
        time.sleep(scaled(2.0))
        self.assertEqual(len(ui.sim.commands("queryVersion")), 2,
                         "the reconnection should bring exactly one new version query")
        self.assertEqual(len([l for l in ui.new_message_lines(lines) if "已重新连接" in l]), 1)

        # The operator's own Disconnect ends the watch: the program stays
        # disconnected.
        ui.click(button)
        ui.wait_for_name(button, "连接", timeout=10)
        time.sleep(scaled(2.5))
        self.assertEqual(button.name, "连接", "the program connected again by itself")
        self.assertEqual(ui.sim.stderr().splitlines().count("client connected"), 2)


if __name__ == "__main__":
    unittest.main()
