"""The advanced card: unlocking the alarm form with the access code, moving a
slider with the mouse wheel, saving all advanced parameters to the device and
reading them back from its next status.

    cd tests/e2e/ui && /usr/bin/python3 -m unittest -v test_advanced_form
"""

import os
import re
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import orrindel_ui  # noqa: E402
from orrindel_ui import UITestCase, scaled  # noqa: E402

ADVANCED = ("高级设置", "Advanced")
ACCESS_CODE = "52074913"
RED_LIGHT = "红光强度"
PD_THRESHOLD = "光电报警阈值"
PUMP_THRESHOLD = "驱动电流报警阈值"
HUMIDITY_THRESHOLD = "环境湿度报警阈值(%Rh)"
INLET_WINDOW = "入水温报警值"
OUTLET_WINDOW = "出水温报警值"
QCW_TAB = "QCW参数"
ALARM_TAB = "报警参数"
RED_CURRENT_PER_LEVEL = 0.3  # mA per red-light level: the simulator's pilot diode


def number(text):
    """The first number in a text ("1.0A" -> 1.0, "16.5mA" -> 16.5)."""
    found = re.search(r"-?\d+(\.\d+)?", text or "")
    if not found:
        raise AssertionError("no number in %r" % (text,))
    return float(found.group(0))


def window_values(text):
    """"15 ~ 35" -> (15, 35)"""
    found = re.fullmatch(r"\s*(\d+)\D*~\s*(\d+)\D*", text or "")
    if not found:
        raise AssertionError("not a range: %r" % (text,))
    return int(found.group(1)), int(found.group(2))


class AdvancedCase(UITestCase):
    """The advanced card's parts and the access code, for the cases below."""
    language = "cn"

    def advanced(self):
        return self.ui.card(ADVANCED)

    def slider(self, title, showing=None):
        """A slider of the alarm form (by default whether scrolled into view or not)."""
        return self.ui.wait_in(self.advanced(), "slider", title, showing=showing)

    def unlock(self, code=ACCESS_CODE):
        ui = self.ui
        card = self.advanced()
        password = ui.wait_in(card, "password text")
        ui.click(password)
        ui.type_text(code)
        ui.click(ui.button_in(card, "确定"))


class AdvancedForm(AdvancedCase):

    def connect(self):
        self.ui.connect_simulator()
        self.ui.wait_for_live_values()
        self.ui.sim.wait_for_command("queryVersion", timeout=10)

    def test_form_is_locked_until_the_access_code_is_given(self):
        self.connect()
        ui = self.ui
        self.assertFalse(self.slider(RED_LIGHT).showing,
                         "the alarm form shows before it was unlocked")

        # A wrong code (the right one with a trailing blank) is refused.
        self.unlock(ACCESS_CODE + " ")
        box = ui.wait_for("dialog", "警告", timeout=10)
        ui.wait_in(box, "label", "密码错误")
        self.assertFalse(self.slider(RED_LIGHT).showing)
        ui.click(ui.button_in(box, "确定"))
        ui.wait_gone("dialog", "警告", timeout=10)

        password = ui.wait_in(self.advanced(), "password text")
        ui.click(password)
        ui.key("ctrl+a", "BackSpace")
        self.unlock()
        self.slider(RED_LIGHT, showing=True)
        self.assertEqual(ui.find_all("dialog", "警告", showing=True), [])

        # The lock button hides the form again.
        ui.click(ui.button_in(self.advanced(), "锁定"))
        orrindel_ui.poll(lambda: not self.slider(RED_LIGHT).showing, 5,
                         message="the lock button did not hide the alarm form")
        self.assertEqual(ui.sim.commands("setAdvancedParam"), [])

    def test_save_sends_the_changed_red_light_level_and_the_device_reports_it(self):
        self.connect()
        ui = self.ui
        self.unlock()
        red = self.slider(RED_LIGHT, showing=True)
        # The form holds the device's values (the simulator's factory values).
        ui.wait_for_description(red, "50", timeout=10)
        shown = {
            "pdThes": int(number(self.slider(PD_THRESHOLD).description)),
            "pumpThes": round(number(self.slider(PUMP_THRESHOLD).description) * 10),
            "humiThes": int(number(self.slider(HUMIDITY_THRESHOLD).description)),
        }
        shown["inTempLow"], shown["inTempHigh"] = window_values(
            self.slider(INLET_WINDOW).description)
        shown["outTempLow"], shown["outTempHigh"] = window_values(
            self.slider(OUTLET_WINDOW).description)
        ui.wait_for_status("红光电流", "15mA")

        # Ten notches of the wheel up: 60. Nothing is sent yet.
        ui.wheel(red, 10)
        ui.wait_for_description(red, "60", timeout=5)
        self.assertEqual(ui.sim.commands("setAdvancedParam"), [])
        lines = ui.message_lines()

        ui.click(ui.button_in(self.advanced(), "保存"))
        boxes = ui.find_all("dialog", "确认操作", showing=True)
        if boxes:  # asked only while the laser emits
            ui.click(ui.button_in(boxes[0], "确定"))
        sent = ui.sim.wait_for_command("setAdvancedParam", timeout=10)
        args = sent["args"]
        self.assertTrue(sent["ok"], sent)
        self.assertEqual(args["redLevel"], 60)
        for key, value in shown.items():
            self.assertEqual(args[key], value, "%s: the form showed %s" % (key, value))
        self.assertEqual((args["qcwDuty"], args["qcwFreq"], args["qcwEnable"]), (50, 1000, False),
                         "the QCW values of the form (the device's) go along")
        time.sleep(scaled(0.5))
        self.assertEqual(len(ui.sim.commands("setAdvancedParam")), 1)

        # The device applied it: its red pilot current follows the new level,
        # and its answer reaches the message list.
        expected_ma = 60 * RED_CURRENT_PER_LEVEL
        ui.wait_for_status("红光电流", lambda v: abs(number(v) - expected_ma) < 0.11,
                           timeout=10)
        ui.wait_for_message("高级参数设置成功", since=lines)

        # A local change that is not saved goes away on Refresh: the form
        # shows what the device's next status reports, the saved 60.
        ui.wheel(red, -5)
        ui.wait_for_description(red, "55", timeout=5)
        ui.click(ui.button_in(self.advanced(), "刷新"))
        ui.wait_for_description(red, "60", timeout=10)
        self.assertEqual(len(ui.sim.commands("setAdvancedParam")), 1)

    def test_save_while_not_connected_asks_to_connect(self):
        ui = self.ui
        ui.click(ui.button_in(self.advanced(), "保存"))
        box = ui.wait_for("dialog", "提示", timeout=10)
        ui.wait_in(box, "label", "请连接设备")
        ui.key("Return")
        ui.wait_gone("dialog", "提示", timeout=10)
        self.assertEqual(ui.sim.commands(), [])


class AdvancedFormWhileEmitting(UITestCase):
    """External control with the DB25 gate on: the laser emits."""
    language = "cn"
    sim_args = ("--mode", "external", "--analog", "30", "--gate")

    def test_save_while_the_laser_emits_asks_first_and_cancel_sends_nothing(self):
        ui = self.ui
        ui.connect_simulator()
        ui.wait_for_live_values()
        ui.wait_for_status("出光状态", "使能开启", timeout=10)
        card = ui.card(ADVANCED)

        ui.click(ui.button_in(card, "保存"))
        box = ui.wait_for("dialog", "确认操作", timeout=10)
        ui.wait_in(box, "label", re.compile("出光时修改参数"))
        ui.click(ui.button_in(box, "取消"))
        ui.wait_gone("dialog", "确认操作", timeout=10)
        time.sleep(scaled(0.5))
        self.assertEqual(ui.sim.commands("setAdvancedParam"), [], "Cancel sent the parameters")

        # Saved while locked: the alarm values are those copied from the device.
        ui.click(ui.button_in(card, "保存"))
        box = ui.wait_for("dialog", "确认操作", timeout=10)
        ui.click(ui.button_in(box, "确定"))
        sent = ui.sim.wait_for_command("setAdvancedParam", timeout=10)
        self.assertEqual(sent["args"], {
            "qcwDuty": 50, "qcwFreq": 1000, "qcwEnable": False, "redLevel": 50, "pdThes": 30,
            "humiThes": 80, "pumpThes": 10, "inTempLow": 15, "inTempHigh": 35,
            "outTempLow": 15, "outTempHigh": 40}, "the simulator's factory values")


class AdvancedFormWithThresholdsTheSlidersCannotShow(AdvancedCase):
    """A controller whose stored thresholds lie outside the sliders' ranges
    (water 10 to 50), at 0, or in an inverted window: Save after an edit of
    the QCW duty alone must send them back exactly."""
    stored = {"inletWaterTempLow": 5, "inletWaterTempHigh": 0, "outletWaterTempLow": 45,
              "outletWaterTempHigh": 20, "humiHigh": 0, "pdAlarmThes": 0}
    sim_args = tuple(a for name, value in stored.items()
                     for a in ("--set", "%s=%d" % (name, value)))

    def test_save_sends_untouched_thresholds_unchanged_and_the_tips_show_them(self):
        ui = self.ui
        ui.connect_simulator()
        ui.wait_for_live_values()
        card = self.advanced()
        self.unlock()
        # The tips tell the device's values that the handles cannot show.
        inlet = ui.wait_in(card, "slider", INLET_WINDOW, showing=None)
        ui.wait_for_description(inlet, "5 (设备值) ~ 0 (设备值)", timeout=10)
        outlet = ui.wait_in(card, "slider", OUTLET_WINDOW, showing=None)
        ui.wait_for_description(outlet, "45 (设备值) ~ 20", timeout=10)

        ui.click(ui.wait_in(card, "page tab", QCW_TAB))
        duty = ui.wait_in(card, "text", "QCW占空比(%):")
        ui.set_input(duty, "40")
        ui.click(ui.button_in(card, "保存"))
        sent = ui.sim.wait_for_command("setAdvancedParam", timeout=10)
        self.assertEqual(sent["args"], {
            "qcwDuty": 40, "qcwFreq": 1000, "qcwEnable": False, "redLevel": 50, "pdThes": 0,
            "humiThes": 0, "pumpThes": 10, "inTempLow": 5, "inTempHigh": 0,
            "outTempLow": 45, "outTempHigh": 20}, "only the QCW duty may change")


if __name__ == "__main__":
    unittest.main()
