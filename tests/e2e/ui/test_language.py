"""The language switch on the connected window: the translated texts of the
sidebar, the status card, the other cards and the live values follow it at
once, without a restart and without touching the connection.

    cd tests/e2e/ui && /usr/bin/python3 -m unittest -v test_language
"""

import os
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import orrindel_ui  # noqa: E402
from orrindel_ui import UITestCase, scaled  # noqa: E402

LANGUAGE_BUTTON = "中/En"
# (Chinese, English) pairs the switch must turn.
BUTTONS = [("断开", "Disconnect"), ("刷新", "Refresh"), ("亮色主题", "Light"),
           ("出光", "ON"), ("关光", "OFF")]
CARDS = [("设备连接", "DeviceConnect"), ("设备信息", "DeviceInfo"),
         ("激光内控", "LaserInternalControl"), ("运行信息", "OperationInformation"),
         ("高级设置", "Advanced"), ("光感曲线", "OpticalChart")]
STATUS = [("设备型号", "Device Model"), ("控制状态", "Control State"),
          ("水冷状态", "Water Cooler State"), ("进水温度", "Inlet Water Temp")]
CONTROL_STATE = {"internal": ("内控", "Internal"), "external": ("外控", "External")}
NORMAL = ("正常", "Normal")


class LanguageSwitchWhileConnected(UITestCase):
    language = "cn"
    theme = "dark"

    def language_problems(self, which):
        """What in the window is not (yet) in the language which (0 Chinese,
        1 English), from one walk over the window."""
        rows = self.ui.snapshot()
        other = 1 - which
        shown = {(role, name) for role, name, showing, _ in rows if showing}
        problems = []
        for pair in BUTTONS:
            if ("push button", pair[which]) not in shown:
                problems.append("no button %r" % pair[which])
            if ("push button", pair[other]) in shown:
                problems.append("a button still reads %r" % pair[other])
        for pair in CARDS:
            if not any(name == pair[which] for _, name in shown):
                problems.append("no card %r" % pair[which])
        values = {name: description for role, name, _, description in rows if role == "label"}
        for pair in STATUS:
            if pair[which] not in values:
                problems.append("no status item %r" % pair[which])
            if pair[other] in values:
                problems.append("a status item is still called %r" % pair[other])
        for title, value in ((STATUS[1], CONTROL_STATE["internal"]), (STATUS[2], NORMAL)):
            if values.get(title[which]) != value[which]:
                problems.append("%r shows %r, not %r" % (title[which], values.get(title[which]),
                                                         value[which]))
        return problems

    def check_language(self, which):
        orrindel_ui.poll(lambda: not self.language_problems(which), 15, interval=0.5,
                         message=lambda: "; ".join(self.language_problems(which)))

    def test_language_button_turns_the_connected_window_to_english_and_back(self):
        ui = self.ui
        ui.connect_simulator()
        ui.wait_for_live_values()
        self.check_language(0)
        pid = ui.program.pid

        ui.click(ui.wait_for_button(LANGUAGE_BUTTON))
        self.check_language(1)
        self.assertEqual(ui.program.config().get("language"), "en")
        # Still the same process on the same connection, with live values.
        self.assertEqual(ui.program.pid, pid)
        self.assertEqual(ui.sim.stderr().splitlines().count("client connected"), 1)
        ui.wait_for_status("Device Model", "1500W")
        # The disconnect button works in English too.
        card = ui.card(ui.CONNECTION_CARD)
        ui.click(ui.button_in(card, "Disconnect"))
        ui.button_in(card, "Connect", timeout=10)
        ui.sim.wait_for_stderr("client disconnected")
        ui.click(ui.button_in(card, "Connect"))
        ui.button_in(card, "Disconnect", timeout=10)

        ui.click(ui.wait_for_button(LANGUAGE_BUTTON))
        self.check_language(0)
        self.assertEqual(ui.program.config().get("language"), "cn")


class EnglishWithAnotherDevice(UITestCase):
    """Started in English against a device of another identity in external
    control: the window shows what the device reports, not fixed values."""
    language = "en"
    theme = "light"
    sim_args = ("--max-power", "3000", "--id", "AB12CD34", "--mode", "external")

    def test_status_card_in_english_shows_the_devices_identity(self):
        ui = self.ui
        card = ui.card("DeviceConnect")
        ui.button_in(card, "Connect")
        ui.connect_simulator()
        ui.wait_for_live_values()
        ui.button_in(card, "Disconnect")
        self.assertEqual(ui.wait_for_status("Device Model", "3000W"), "3000W")
        self.assertEqual(ui.wait_for_status("Device ID", "AB12CD34"), "AB12CD34")
        ui.wait_for_status("Control State", "External")
        ui.wait_for_status("Laser State", "Disable")
        ui.wait_for_message("DeviceVersion:V2.3.1-QCW")
        # The front panel switches to internal control.
        ui.sim.console("mode internal")
        ui.wait_for_status("Control State", "Internal", timeout=10)
        time.sleep(scaled(0.5))
        self.assertEqual([c["name"] for c in ui.sim.commands()], ["queryVersion"])


if __name__ == "__main__":
    unittest.main()
