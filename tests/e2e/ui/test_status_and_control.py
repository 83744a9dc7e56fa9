"""The connected window against the simulator: the device comes online with
one version query, the status card shows the simulator's values, the
internal-control card sends its commands in order, and an interlock fault
reaches the message list and the status card.

Every check goes through the accessibility bus (what the window shows) and
the simulator's command log (what really went out on the line).

    cd tests/e2e/ui && /usr/bin/python3 -m unittest -v test_status_and_control
"""

import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import orrindel_ui  # noqa: E402
from orrindel_ui import UITestCase  # noqa: E402

INT_CTRL = ("激光内控", "LaserInternalControl")
MESSAGES = ("运行信息", "OperationInformation")
FREQ = "频率(Hz):"
DUTY = "占空比(%):"
PEAK = "峰值功率(%):"
DURATION = "出光时间(mS):"
ONE_DECIMAL_CELSIUS = re.compile(r"^-?\d+\.\d℃$")
CONTINUOUS = 0xFAAA  # the on-time that means "until stopped"


def names(commands):
    return [c["name"] for c in commands]


class StatusAndControl(UITestCase):
    language = "cn"
    theme = "dark"

    def connect(self):
        self.ui.connect_simulator()
        self.ui.sim.wait_for_stderr("client connected")
        self.ui.wait_for_live_values()

    def int_ctrl_inputs(self):
        card = self.ui.card(INT_CTRL)
        return {title: self.ui.wait_in(card, "text", title)
                for title in (FREQ, DUTY, PEAK, DURATION)}

    def wait_for_captured_inputs(self, inputs):
        """The inputs take the device's values from its first record (the
        simulator's factory duty of 50 % differs from the window's stand-in
        of 20 %); typing before that would be overwritten by the capture."""
        orrindel_ui.poll(lambda: inputs[DUTY].text == "50", 15,
                         message=lambda: "the duty input never showed the device's 50 %%: %r"
                         % {k: v.text for k, v in inputs.items()})

    # --- coming online ---

    def test_connect_brings_the_device_online_with_exactly_one_version_query(self):
        self.assertEqual(self.ui.sim.commands(), [], "commands went out before connecting")
        self.ui.connect_simulator()
        self.ui.sim.wait_for_stderr("client connected")
        self.ui.sim.wait_for_command("queryVersion", timeout=10)
        # The reply reaches the message list, its keyword translated.
        self.ui.wait_for_message(re.compile(r"^\[\d\d:\d\d:\d\d\]> 设备版本:V2\.3\.1-QCW$"))
        # Records keep arriving every 500 ms: no second query follows.
        time.sleep(orrindel_ui.scaled(2.5))
        self.assertEqual(names(self.ui.sim.commands()), ["queryVersion"],
                         "connecting should send exactly one version query and nothing else")

    # --- the status card ---

    def test_status_card_shows_the_simulators_values(self):
        self.connect()
        ui = self.ui
        self.assertEqual(ui.wait_for_status("设备型号", "1500W"), "1500W")
        self.assertEqual(ui.wait_for_status("设备编号", "SN240403"), "SN240403")
        ui.wait_for_status("进水温度", ONE_DECIMAL_CELSIUS)
        ui.wait_for_status("出水温度", ONE_DECIMAL_CELSIUS)
        ui.wait_for_status("环境温度", ONE_DECIMAL_CELSIUS)
        ui.wait_for_status("控制状态", "内控")
        ui.wait_for_status("出光状态", "使能关闭")
        ui.wait_for_status("水冷状态", "正常")
        ui.wait_for_status("环境湿度", re.compile(r"^\d+%Rh$"))
        ui.wait_for_status("泵浦电流", "0.0A 0.0A 0.0A 0.0A")

        # Values forced in the simulator come through, with one decimal.
        ui.sim.console("inlet 23.4")
        ui.sim.console("outlet 31.7")
        ui.wait_for_status("进水温度", "23.4℃", timeout=10)
        ui.wait_for_status("出水温度", "31.7℃", timeout=10)
        ui.sim.console("mode external")
        ui.wait_for_status("控制状态", "外控", timeout=10)

    # --- the internal-control card ---

    def test_on_sends_the_typed_parameters_then_starts_emission_and_off_stops_it(self):
        self.connect()
        ui = self.ui
        inputs = self.int_ctrl_inputs()
        self.wait_for_captured_inputs(inputs)
        typed = {FREQ: "2500", DUTY: "40", PEAK: "35", DURATION: "20000"}
        for title, value in typed.items():
            ui.set_input(inputs[title], value)
        for title, value in typed.items():
            self.assertEqual(inputs[title].text, value, "the input %s" % title)

        before = len(ui.sim.commands())
        starts = len(ui.sim.commands("setLaserState"))
        ui.click(ui.button_in(ui.card(INT_CTRL), "出光"))
        ui.sim.wait_for_command("setLaserState", timeout=10, after=starts)
        time.sleep(orrindel_ui.scaled(0.5))
        sent = ui.sim.commands()[before:]
        self.assertEqual(names(sent), ["setIntCtrlParam", "setLaserState"],
                         "ON should send the parameters, then the start")
        self.assertEqual(sent[0]["args"], {"power": 35, "duty": 40, "freq": 2500, "openMs": 20000})
        self.assertIs(sent[1]["args"]["state"], True)
        self.assertTrue(all(c["ok"] for c in sent), sent)

        ui.wait_for_status("出光状态", "使能开启", timeout=10)
        # The device took the values: the re-capture after the command
        # leaves the inputs showing them.
        time.sleep(orrindel_ui.scaled(1.5))
        for title, value in typed.items():
            self.assertEqual(inputs[title].text, value, "the input %s after the re-capture" % title)

        before = len(ui.sim.commands())
        stops = len(ui.sim.commands("setLaserState"))
        ui.click(ui.button_in(ui.card(INT_CTRL), "关光"))
        off = ui.sim.wait_for_command("setLaserState", timeout=10, after=stops)
        self.assertIs(off["args"]["state"], False)
        time.sleep(orrindel_ui.scaled(0.5))
        self.assertEqual(names(ui.sim.commands()[before:]), ["setLaserState"],
                         "OFF should send only the stop")
        ui.wait_for_status("出光状态", "使能关闭", timeout=10)

    def test_continuous_mode_sends_the_endless_on_time(self):
        self.connect()
        ui = self.ui
        card = ui.card(INT_CTRL)
        inputs = self.int_ctrl_inputs()
        self.wait_for_captured_inputs(inputs)
        mode = ui.button_in(card, "持续出光模式")
        self.assertFalse(mode.has_state("checked"))
        ui.click(mode)
        orrindel_ui.poll(lambda: mode.has_state("checked"), 5,
                         message="the continuous-mode button does not read as on after a click")

        before = len(ui.sim.commands())
        starts = len(ui.sim.commands("setLaserState"))
        ui.click(ui.button_in(card, "出光"))
        ui.sim.wait_for_command("setLaserState", timeout=10, after=starts)
        sent = ui.sim.commands()[before:]
        self.assertEqual(names(sent)[:2], ["setIntCtrlParam", "setLaserState"])
        self.assertEqual(sent[0]["args"]["openMs"], CONTINUOUS,
                         "continuous mode should send the on-time 0xFAAA, whatever the input shows")
        self.assertEqual(sent[0]["args"]["freq"], int(inputs[FREQ].text))
        ui.wait_for_status("出光状态", "使能开启", timeout=10)
        # Emission lasts until stopped: still on well after the 1000 ms the
        # on-time input shows.
        time.sleep(orrindel_ui.scaled(2.0))
        self.assertEqual(ui.status_item("出光状态").description, "使能开启")
        ui.click(ui.button_in(card, "关光"))
        ui.wait_for_status("出光状态", "使能关闭", timeout=10)

    def test_out_of_range_input_reverts_to_the_devices_value(self):
        self.connect()
        ui = self.ui
        inputs = self.int_ctrl_inputs()
        self.wait_for_captured_inputs(inputs)
        device_freq = inputs[FREQ].text
        ui.set_input(inputs[FREQ], "20000")
        self.assertEqual(inputs[FREQ].text, "20000")
        # Leaving the input (a click on the card's free surface) corrects it.
        ui.set_input(inputs[DUTY], "45")
        orrindel_ui.poll(lambda: inputs[FREQ].text == device_freq, 5,
                         message=lambda: "the frequency input shows %r after leaving it with "
                         "20000, not the device's %s" % (inputs[FREQ].text, device_freq))

        before = len(ui.sim.commands())
        ui.click(ui.button_in(ui.card(INT_CTRL), "出光"))
        sent = ui.sim.wait_for_command("setIntCtrlParam", timeout=10, after=0)
        self.assertEqual(sent["args"]["freq"], int(device_freq))
        self.assertEqual(sent["args"]["duty"], 45)
        self.assertEqual(names(ui.sim.commands()[before:before + 1]), ["setIntCtrlParam"])

    def test_message_card_refresh_adds_the_alarm_word_and_queries_the_device(self):
        self.connect()
        ui = self.ui
        card = ui.card(MESSAGES)
        ui.wait_for_message("V2.3.1-QCW")
        lines = ui.message_lines()
        queries = len(ui.sim.commands("queryVersion"))
        ui.click(ui.button_in(card, "刷新"))
        line = ui.wait_for_message(lambda l: "]> [" in l, timeout=10, since=lines)
        self.assertRegex(line, r"^\[\d\d:\d\d:\d\d\]> \[0\] 报警解除$")
        ui.sim.wait_for_command("queryVersion", timeout=10, after=queries)
        ui.sim.wait_for_command("queryUseTime", timeout=10)
        ui.wait_for_message(re.compile(r"开机总时长:\d+分钟 出光总时长:\d+分钟"),
                            since=lines)
        ui.wait_for_message("V2.3.1-QCW", since=lines)

    def test_message_card_clear_empties_the_list(self):
        """Also for assistive tools: no removed line stays behind as a shown text."""
        self.connect()
        ui = self.ui
        card = ui.card(MESSAGES)
        ui.wait_for_message("V2.3.1-QCW")
        ui.click(ui.button_in(card, "清空"))
        orrindel_ui.poll(lambda: ui.message_lines() == [], 5,
                         message=lambda: "after Clear the list still shows %r" % ui.message_lines())
        # The next line is the only one.
        ui.sim.console("send after clear")
        line = ui.wait_for_message("after clear", timeout=10)
        self.assertEqual(ui.message_lines(), [line])

    def test_commands_while_not_connected_ask_to_connect_and_send_nothing(self):
        ui = self.ui
        ui.click(ui.button_in(ui.card(INT_CTRL), "出光"))
        box = ui.wait_for("dialog", "提示", timeout=10)
        ui.wait_in(box, "label", re.compile("请连接设备"))
        ui.click(ui.button_in(box, "确定"))
        ui.wait_gone("dialog", "提示", timeout=10)
        time.sleep(orrindel_ui.scaled(0.5))
        self.assertEqual(ui.sim.commands(), [])

    # --- alarms ---

    def test_interlock_fault_adds_an_alarm_line_and_shows_the_cooler_disconnected(self):
        self.connect()
        ui = self.ui
        ui.wait_for_status("水冷状态", "正常")
        time.sleep(orrindel_ui.scaled(1.0))
        lines = ui.message_lines()

        ui.sim.console("chiller open")
        line = ui.wait_for_message(lambda l: "->" in l and "水冷断开" in l, timeout=10,
                                   since=lines)
        self.assertRegex(line, r"^\[\d\d:\d\d:\d\d\]> \[0->8020\] ")
        ui.wait_for_status("水冷状态", "断开", timeout=10)

        lines = ui.message_lines()
        ui.sim.console("chiller close")
        line = ui.wait_for_message("报警解除", timeout=10, since=lines)
        self.assertRegex(line, r"^\[\d\d:\d\d:\d\d\]> \[8020->0\] 报警解除$")
        ui.wait_for_status("水冷状态", "正常", timeout=10)


if __name__ == "__main__":
    unittest.main()
