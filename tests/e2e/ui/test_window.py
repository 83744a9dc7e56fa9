"""The program's window, driven like an operator would: through the
accessibility bus and real pointer clicks on a private X display.

Run with /usr/bin/python3 (the accessibility bindings are Debian's):

    cd tests/e2e/ui && /usr/bin/python3 -m unittest -v test_window
"""

import os
import subprocess
import sys
import time
import unittest

sys.path.insert(0, os.path.dirname(os.path.abspath(__file__)))

import orrindel_ui  # noqa: E402
from orrindel_ui import UITestCase  # noqa: E402

LANGUAGE_BUTTON = "中/En"
LIGHT = {"cn": "亮色主题", "en": "Light"}
DARK = {"cn": "暗色主题", "en": "Dark"}


def mean_luminance(png):
    """The mean luminance (0 black .. 1 white) of a picture."""
    out = subprocess.run(["convert", png, "-colorspace", "Gray", "-format", "%[fx:mean]", "info:"],
                         stdout=subprocess.PIPE, stderr=subprocess.PIPE, check=True, timeout=60)
    return float(out.stdout.decode().strip())


class WindowInChinese(UITestCase):
    language = "cn"
    theme = "dark"

    def test_window_titled_orrindel_is_on_the_accessibility_bus(self):
        window = self.ui.window
        self.assertEqual(window.name, "Orrindel")
        self.assertEqual(window.role, "frame")
        x, y, width, height = window.rect
        # The window never gets smaller than its minimum size.
        self.assertGreaterEqual(width, 1024, window.rect)
        self.assertGreaterEqual(height, 700, window.rect)
        self.assertTrue(window.showing)

    def test_simulator_port_is_the_current_port_entry(self):
        # Extra ports come first in the list, and the first entry is selected.
        entry = "(%s)" % self.ui.sim.port
        self.ui.wait_for_text(entry, timeout=10)

    def test_language_button_switches_translated_texts_to_english_and_back(self):
        button = self.ui.wait_for_button(LANGUAGE_BUTTON)
        light = self.ui.wait_for_button(LIGHT["cn"])
        dark = self.ui.wait_for_button(DARK["cn"])

        self.ui.click(button)
        self.ui.wait_for_name(light, LIGHT["en"], timeout=10)
        self.ui.wait_for_name(dark, DARK["en"], timeout=10)
        # The language button reads the same in both languages.
        self.ui.wait_for_button(LANGUAGE_BUTTON)
        # No Chinese is left on the theme buttons.
        self.assertEqual(self.ui.find_buttons(LIGHT["cn"]), [])
        self.assertEqual(self.ui.program.config().get("language"), "en")

        self.ui.click(self.ui.wait_for_button(LANGUAGE_BUTTON))
        self.ui.wait_for_name(light, LIGHT["cn"], timeout=10)
        self.ui.wait_for_name(dark, DARK["cn"], timeout=10)
        self.assertEqual(self.ui.program.config().get("language"), "cn")
        self.assertTrue(self.ui.program.running())

    def test_active_theme_button_does_nothing(self):
        pid = self.ui.program.pid
        self.ui.click(self.ui.wait_for_button(DARK["cn"]))
        # A restart would begin within a second: give it time to show.
        time.sleep(orrindel_ui.scaled(2.5))
        self.assertTrue(self.ui.program.running(), "the program ended after a click on the "
                        "active theme's button")
        self.assertEqual(self.ui.program.all_pids(), [pid])
        self.assertEqual(self.ui.program.config().get("theme"), "dark")
        self.ui.wait_for_button(DARK["cn"])

    def test_light_theme_button_restarts_the_program_in_the_light_theme(self):
        before = os.path.join(self.ui.workdir, "before.png")
        after = os.path.join(self.ui.workdir, "after.png")
        time.sleep(orrindel_ui.scaled(1.0))  # the start's colour animation
        self.ui.screenshot(before)
        dark = mean_luminance(before)
        old_pid = self.ui.program.pid

        self.ui.click(self.ui.wait_for_button(LIGHT["cn"]))
        window = self.ui.follow_restart(timeout=60)

        self.assertNotEqual(self.ui.program.pid, old_pid)
        self.assertEqual(self.ui.program.replaced_exit_code, 0,
                         "the program should end normally after starting its new copy")
        self.assertEqual(self.ui.program.all_pids(), [self.ui.program.pid])
        self.assertEqual(window.name, "Orrindel")
        self.assertEqual(self.ui.program.config().get("theme"), "light")
        # The language survives the restart, and the theme buttons are still there.
        self.ui.wait_for_button(LIGHT["cn"])
        self.ui.wait_for_button(DARK["cn"])
        # The colours have turned light (allow for the colour animation): the
        # whole window is clearly brighter than before.
        orrindel_ui.poll(lambda: self.ui.screenshot(after) and mean_luminance(after) > dark + 0.2,
                         10, interval=0.5,
                         message=lambda: "the window did not turn light: mean luminance %.2f, "
                         "%.2f in the dark theme" % (mean_luminance(after), dark))


class WindowInEnglish(UITestCase):
    language = "en"
    theme = "light"

    def test_starts_in_english_and_switches_to_chinese(self):
        light = self.ui.wait_for_button(LIGHT["en"])
        self.ui.wait_for_button(DARK["en"])
        self.ui.click(self.ui.wait_for_button(LANGUAGE_BUTTON))
        self.ui.wait_for_name(light, LIGHT["cn"], timeout=10)
        self.assertEqual(self.ui.program.config().get("language"), "cn")

    def test_dark_theme_button_restarts_the_program_keeping_english(self):
        self.ui.click(self.ui.wait_for_button(DARK["en"]))
        self.ui.follow_restart(timeout=60)
        self.assertEqual(self.ui.program.config().get("theme"), "dark")
        self.assertEqual(self.ui.program.config().get("language"), "en")
        self.ui.wait_for_button(DARK["en"])
        self.ui.wait_for_button(LIGHT["en"])


if __name__ == "__main__":
    unittest.main()
