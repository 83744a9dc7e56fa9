"""A theme switch restarts the program. Connected to the simulator while the
laser emits, the operator is asked first; after OK the new copy comes up on
the same port by itself, so OFF reaches the device without looking for the
port. A new copy that cannot be started leaves the running one in charge.

    cd tests/e2e/ui && /usr/bin/python3 -m unittest -v test_theme_restart
"""

import os
import re
import shutil
import sys
import tempfile
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import orrindel_ui  # noqa: E402
from orrindel_ui import Orrindel, UITestCase, program_path, scaled  # noqa: E402

INT_CTRL = "激光内控"
LIGHT = "亮色主题"
EMITTING_QUESTION = "正在出光,切换主题将重启程序,确定继续吗?"
CANNOT_RESTART = "无法重新启动程序"
OK, CANCEL = "确定", "取消"
CONFIRM, ALARM = "确认操作", "警告"
LASER_STATE = "出光状态"
ON_TEXT, OFF_TEXT = "使能开启", "使能关闭"


class ThemeRestartCase(UITestCase):

    def connect(self):
        self.ui.connect_simulator()
        self.ui.wait_for_live_values()

    def start_continuous_emission(self):
        ui = self.ui
        card = ui.card(INT_CTRL)
        ui.click(ui.button_in(card, "持续出光模式"))
        ui.click(ui.button_in(card, "出光"))
        ui.wait_for_status(LASER_STATE, ON_TEXT, timeout=10)

    def answer_box(self, title, text, button):
        """Wait for the message box titled title showing text; press button."""
        ui = self.ui
        box = ui.wait_for("dialog", title, timeout=10)
        ui.wait_in(box, "label", re.compile(re.escape(text)))
        ui.click(ui.button_in(box, button))
        ui.wait_gone("dialog", title, timeout=10)


class ThemeRestartWhileEmitting(ThemeRestartCase):

    def test_asks_then_reconnects_the_same_port_and_off_reaches_the_device(self):
        ui = self.ui
        self.connect()
        self.start_continuous_emission()
        first = ui.program.pid

        # Cancel: nothing restarts, nothing is stored.
        ui.click(ui.wait_for_button(LIGHT))
        self.answer_box(CONFIRM, EMITTING_QUESTION, CANCEL)
        time.sleep(scaled(1.5))
        self.assertEqual(ui.program.all_pids(), [first])
        self.assertEqual(ui.program.config().get("theme"), "dark")

        ui.click(ui.wait_for_button(LIGHT))
        asked = len(ui.sim.commands())
        self.answer_box(CONFIRM, EMITTING_QUESTION, OK)
        clicked = time.monotonic()
        ui.follow_restart(timeout=60)
        self.assertEqual(ui.program.config().get("theme"), "light")

        ui.wait_for_message("已重新连接: " + ui.sim.line, timeout=20)
        ui.wait_for_button(ui.DISCONNECT)
        ui.wait_for_status(LASER_STATE, ON_TEXT, timeout=10)
        sys.stderr.write("\nclick to the new copy showing the device: %.2f s\n"
                         % (time.monotonic() - clicked))
        # The restart itself sent nothing: the laser was left as it was.
        self.assertNotIn("setLaserState", [c["name"] for c in ui.sim.commands()[asked:]])

        stops = len(ui.sim.commands("setLaserState"))
        ui.click(ui.button_in(ui.card(INT_CTRL), "关光"))
        off = ui.sim.wait_for_command("setLaserState", timeout=10, after=stops)
        self.assertIs(off["args"]["state"], False)
        ui.wait_for_status(LASER_STATE, OFF_TEXT, timeout=10)


class ThemeRestartThatCannotStart(ThemeRestartCase):
    """The program runs from a copy of its file that loses its execute
    permission while it runs, as when an update breaks the installation."""

    def setUp(self):
        folder = tempfile.mkdtemp(prefix="orrindel-binary-")
        self.addCleanup(shutil.rmtree, folder, True)
        self.binary = os.path.join(folder, "orrindel")
        shutil.copy2(program_path(), self.binary)
        self.ui = Orrindel(language=self.language, theme=self.theme, binary=self.binary)
        self.addCleanup(self._finish)
        self.ui.start(stop_on_error=False)

    def test_the_running_copy_stays_with_its_theme_and_its_port(self):
        ui = self.ui
        self.connect()
        first = ui.program.pid
        os.chmod(self.binary, 0o644)

        ui.click(ui.wait_for_button(LIGHT))
        self.answer_box(ALARM, CANNOT_RESTART + "\n" + self.binary + ": Permission denied", OK)
        self.assertTrue(ui.program.running())
        self.assertEqual(ui.program.pid, first)
        self.assertEqual(ui.program.config().get("theme"), "dark")

        # Still in charge: connected, live, and commands reach the device.
        ui.wait_for_button(ui.DISCONNECT)
        sent = len(ui.sim.commands("setLaserState"))
        ui.click(ui.button_in(ui.card(INT_CTRL), "关光"))
        ui.sim.wait_for_command("setLaserState", timeout=10, after=sent)
        # A later switch, with the file mended, restarts as usual.
        os.chmod(self.binary, 0o755)
        ui.click(ui.wait_for_button(LIGHT))
        ui.follow_restart(timeout=60)
        ui.wait_for_message("已重新连接: " + ui.sim.line, timeout=20)
        self.assertEqual(ui.program.config().get("theme"), "light")


if __name__ == "__main__":
    unittest.main()
