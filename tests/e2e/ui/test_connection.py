"""Connecting the window to the simulator through the port list and the
Connect button, with real clicks; the simulator's log and console show what
the program really did on the line.

    cd tests/e2e/ui && /usr/bin/python3 -m unittest -v test_connection
"""

import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import orrindel_ui  # noqa: E402
from orrindel_ui import UITestCase  # noqa: E402

TEXTS = {
    "cn": {"connect": "连接", "disconnect": "断开", "refresh": "刷新"},
    "en": {"connect": "Connect", "disconnect": "Disconnect", "refresh": "Refresh"},
}


class ConnectionCase(UITestCase):
    def texts(self):
        return TEXTS[self.language]

    def port_list(self):
        """The port list: the combo box showing the simulator's port."""
        entry = "(%s)" % self.ui.sim.port
        return self.ui.wait_for("combo box", index=0,
                                where=lambda node: any(entry in t for t in node.all_texts()))

    def sim_said(self, line, timeout=10):
        orrindel_ui.poll(lambda: line in self.ui.sim.stderr().splitlines(), timeout,
                         message=lambda: "the simulator never printed %r; it printed:\n%s"
                         % (line, self.ui.sim.stderr()))

    def connect(self):
        self.port_list()
        self.ui.click(self.ui.wait_for_button(self.texts()["connect"]))
        return self.ui.wait_for_button(self.texts()["disconnect"], timeout=15)


class ConnectInChinese(ConnectionCase):
    language = "cn"

    def test_connect_then_disconnect(self):
        before = len(self.ui.sim.commands())
        button = self.connect()
        self.sim_said("client connected")
        # The first record after being offline makes the program ask for the
        # firmware version: records arrive and are processed.
        self.ui.sim.wait_for_command("queryVersion", timeout=10, after=before)

        self.ui.click(button)
        self.ui.wait_for_button(self.texts()["connect"], timeout=15)
        self.sim_said("client disconnected")
        # The refreshed port list still offers the simulator first.
        self.port_list()

    def test_reconnect_after_disconnect(self):
        button = self.connect()
        self.sim_said("client connected")
        self.ui.click(button)
        self.ui.wait_for_button(self.texts()["connect"], timeout=15)
        self.sim_said("client disconnected")
        # Without records the device counts as offline after 1.1 s.
        time.sleep(orrindel_ui.scaled(2.0))
        before = len(self.ui.sim.commands("queryVersion"))
        self.connect()
        # Online again after being offline: one more version query.
        self.ui.sim.wait_for_command("queryVersion", timeout=10, after=before)


class ConnectInEnglish(ConnectionCase):
    language = "en"
    theme = "light"
    # External control with the DB25 input at 40 %: the output power the
    # window shows is 1500 W x 40 % = 600 W.
    sim_args = ("--mode", "external", "--analog", "40")

    def test_connect_shows_the_output_power(self):
        self.connect()
        self.sim_said("client connected")
        self.ui.wait_for_text(re.compile(r"(^|\D)600(\D|$)"), timeout=15)


if __name__ == "__main__":
    unittest.main()
