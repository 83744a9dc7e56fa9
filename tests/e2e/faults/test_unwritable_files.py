"""Files the program cannot use as it would like: a settings file that is
garbage, a settings file or a working folder that cannot be written, an
export to a place where writing fails. The program starts and runs, falls
back to its defaults where it must, and reports what it could not do.

Writing is made impossible for real, also for root (whom file modes do not
stop): the program runs in a private mount namespace where the place is a
read-only mount, or a file system that is full. Before the program starts,
the same namespace checks that a write there fails; if it does not, the
program is not started and the test fails.

    cd tests/e2e/faults && /usr/bin/python3 -m unittest -v test_unwritable_files
"""

import os
import re
import shlex
import shutil
import subprocess
import sys
import tempfile
import unittest

from fault_support import HERE, click_answers, humidity_seen_after, shows_humidity
from orrindel_ui import HarnessError, Orrindel, UITestCase, poll

sys.path.insert(0, os.path.join(HERE, "..", "ui"))
import test_chart_export  # noqa: E402  (its dialog-driving steps)

LANGUAGE_BUTTON = "中/En"
LIGHT = {"cn": "亮色主题", "en": "Light"}
DARK = {"cn": "暗色主题", "en": "Dark"}
FAULT_NOT_MADE = 97


def in_private_mounts(steps):
    """A launcher: the program starts in a mount namespace of its own after
    the shell steps (run in its working folder, which "$W" names) have set up
    the fault; the steps end with checks that exit FAULT_NOT_MADE when a
    write that must fail succeeds. The shell then re-enters the folder (a
    mount over it is not seen through the old working directory) and execs
    the program, which keeps the pid."""
    def launcher(workdir):
        script = "W=%s\n%s\ncd \"$W\"\nexec \"$@\"\n" % (shlex.quote(workdir), steps)
        unshare = ["unshare", "--mount", "--propagation", "private"]
        if os.geteuid() != 0:
            unshare = ["unshare", "--user", "--map-root-user", "--mount",
                       "--propagation", "private"]
        return unshare + ["--", "sh", "-ec", script, "orrindel-launcher"]
    return launcher


def must_fail(command):
    return "if %s 2>/dev/null; then echo 'fault not made: %s succeeded' >&2; exit %d; fi" % (
        command, command.replace("'", ""), FAULT_NOT_MADE)


READ_ONLY_CONFIG = "\n".join([
    'mount --bind "$W/config.ini" "$W/config.ini"',
    'mount -o remount,bind,ro "$W/config.ini"',
    must_fail('printf x >> "$W/config.ini"'),
])

# No settings file, a working folder that cannot be written, and in it the
# export targets: a read-only folder (opening fails), a full file system
# (opening works, writing fails) holding an earlier export, and a good one.
EARLIER_EXPORT = b"an earlier export, to be kept whole"
READ_ONLY_FOLDER_AND_EXPORT_TARGETS = "\n".join([
    'rm -f "$W/config.ini"',
    'mkdir -p "$W/readonly" "$W/full" "$W/good"',
    'mount --bind "$W" "$W"',
    'mount -o remount,bind,ro "$W"',
    'mount -t tmpfs -o ro,size=64k tmpfs "$W/readonly"',
    'mount -t tmpfs -o size=8k tmpfs "$W/full"',
    "printf '%s' > \"$W/full/wave.csv\"" % EARLIER_EXPORT.decode(),
    'dd if=/dev/zero of="$W/full/filler" bs=1k count=64 2>/dev/null || true',
    'mount -t tmpfs -o size=16m tmpfs "$W/good"',
    must_fail('touch "$W/config.ini"'),
    must_fail('touch "$W/config.ini.lock"'),
    must_fail('touch "$W/readonly/probe"'),
    must_fail('printf x > "$W/full/probe"'),
    'rm -f "$W/full/probe"',
])

GARBAGE = (b"\x89PNG\r\n\x1a\n\x00\xff\xfe[General\nlanguage=\xff\xfe\x00en\ntheme=purple"
           b"\n[[[\n=\n\x00\x00\x01\x02 language = klingon \n\xe4\xb8\xad\xe6\x96\x87\n"
           + bytes(range(256)))


class SettingsCase(UITestCase):
    """Starts the program with config_text as its settings file and through
    launcher; its session data go to a folder of their own, so that only
    the settings meet the fault."""
    language = "cn"
    config_text = None
    launcher_steps = None

    def setUp(self):
        self.data = tempfile.mkdtemp(prefix="orrindel-faults-data-")
        self.addCleanup(shutil.rmtree, self.data, True)
        self.ui = Orrindel(language=self.language, theme=self.theme, sim_args=self.sim_args,
                           config_text=self.config_text,
                           launcher=self.launcher_steps and in_private_mounts(self.launcher_steps),
                           env={"ORRINDEL_DATA_DIR": self.data})
        self.addCleanup(self._finish)
        try:
            self.ui.start(stop_on_error=False)
        except HarnessError as error:
            if "fault not made" in open(self.ui.program.log_path, errors="replace").read():
                self.fail("the fault could not be made: %s" % error)
            raise

    def config_bytes(self):
        with open(os.path.join(self.ui.workdir, "config.ini"), "rb") as f:
            return f.read()

    def theme_is_dark(self):
        """The window's mean luminance: the dark theme is well below 0.5."""
        path = os.path.join(self.ui.workdir, "window.png")
        self.ui.screenshot(path)
        out = subprocess.run(["convert", path, "-colorspace", "Gray", "-format", "%[fx:mean]",
                              "info:"], stdout=subprocess.PIPE, check=True, timeout=60)
        return float(out.stdout.decode().strip()) < 0.5

    def runs_with_live_values(self):
        ui = self.ui
        ui.connect_simulator()
        ui.wait_for_live_values()
        humidity_seen_after(ui, 33)
        click_answers(ui)

    def switch_language(self, to):
        ui = self.ui
        light = ui.wait_for_button((LIGHT["cn"], LIGHT["en"]))
        ui.click(ui.wait_for_button(LANGUAGE_BUTTON))
        ui.wait_for_name(light, LIGHT[to], timeout=10)


class GarbageSettings(SettingsCase):
    config_text = GARBAGE

    def test_garbage_settings_give_chinese_and_the_dark_theme(self):
        ui = self.ui
        ui.wait_for_button(LIGHT["cn"])
        ui.wait_for_button(DARK["cn"])
        self.assertTrue(self.theme_is_dark(), "not the dark theme")
        self.runs_with_live_values()
        # The language button works; the choice is kept in the file.
        self.switch_language("en")
        poll(lambda: ui.program.config().get("language") == "en", 5,
             message=lambda: "language=en not in the settings file: %r" % self.config_bytes())
        self.switch_language("cn")
        self.assertTrue(ui.program.running())


class ReadOnlySettingsFile(SettingsCase):
    config_text = "[General]\nlanguage=en\ntheme=light\n"
    launcher_steps = READ_ONLY_CONFIG

    def test_read_only_settings_are_used_and_left_alone(self):
        ui = self.ui
        before = self.config_bytes()
        # The file is read: English, light.
        ui.wait_for_button(LIGHT["en"])
        self.assertFalse(self.theme_is_dark(), "not the light theme of the settings file")
        self.runs_with_live_values()
        # The language still switches for this run; the file stays as it was.
        self.switch_language("cn")
        ui.wait_for_status("环境湿度", shows_humidity(33), timeout=10)
        self.switch_language("en")
        self.assertEqual(self.config_bytes(), before)
        self.assertTrue(ui.program.running())


class ReadOnlyFolderAndExports(SettingsCase):
    """No settings file and none can be made: the defaults, every run. And
    exports that fail. External control with the gate on, as in the chart
    export tests."""
    sim_args = ("--mode", "external", "--analog", "50", "--gate")
    launcher_steps = READ_ONLY_FOLDER_AND_EXPORT_TARGETS

    save_dialog = test_chart_export.ExportCase.save_dialog
    file_name_field = test_chart_export.ExportCase.file_name_field
    export = test_chart_export.ExportCase.export
    read_export = test_chart_export.ExportCase.read_export
    check_data = test_chart_export.ExportCase.check_data

    def setUp(self):
        super().setUp()
        # The good folder as the program sees it (for read_export).
        self.folder = self.in_program_mounts(os.path.join(self.ui.workdir, "good"))

    def replace_existing(self, path):
        """Through the save dialog to a file that exists: the dialog asks
        whether to replace it, and is told yes."""
        ui = self.ui
        dialog = self.save_dialog()
        field = self.file_name_field(dialog)
        ui.click(field)
        ui.key("ctrl+a")
        ui.type_text(path)
        ui.key("Return")
        yes = re.compile(r"^(&?Yes|是.*)$")

        def yes_button():
            for window in ui.top_levels():
                for node in window.find_all("push button", yes, showing=True):
                    return node
            return None
        ui.click(poll(yes_button, 10, message=lambda: "no question whether to replace %s: %s"
                      % (path, [(n.role, n.name) for n in ui.top_levels()])))
        poll(lambda: not dialog.showing, 10, message="the save dialog is still open")

    def in_program_mounts(self, path):
        """path as the program sees it (in its own mount namespace)."""
        return "/proc/%d/root%s" % (self.ui.program.pid, path)

    def failed_export(self, path, replace=False):
        ui = self.ui
        if replace:
            self.replace_existing(path)
        else:
            self.export(path)
        box = ui.wait_for("dialog", "警告", timeout=10)
        ui.wait_in(box, "label", "保存失败: " + path, timeout=5)
        ui.click(ui.button_in(box, "确定"), settle=0)
        ui.wait_gone("dialog", "警告", timeout=10)

    def test_unwritable_folder_gives_the_defaults_and_failed_exports_are_reported(self):
        ui = self.ui
        ui.wait_for_button(LIGHT["cn"])
        self.assertTrue(self.theme_is_dark())
        self.runs_with_live_values()
        # The language still switches, though it cannot be kept.
        self.switch_language("en")
        self.switch_language("cn")
        self.assertFalse(os.path.exists(os.path.join(ui.workdir, "config.ini")))

        ui.wait_for_status("出光状态", "使能开启", timeout=10)
        workdir = ui.workdir
        self.failed_export(os.path.join(workdir, "readonly", "wave.csv"))
        # The disk fills while the export is written: reported, and the
        # earlier export it was to replace is still whole.
        full = os.path.join(workdir, "full", "wave.csv")
        self.failed_export(full, replace=True)
        with open(self.in_program_mounts(full), "rb") as f:
            self.assertEqual(f.read(), EARLIER_EXPORT)
        click_answers(ui)
        # The recording went on: a good place gets all of it.
        good = self.export(os.path.join(ui.workdir, "good", "wave.csv"))
        text = self.read_export(self.in_program_mounts(good))
        self.check_data(text, test_chart_export.HEADER["cn"], at_least=4)
        self.assertTrue(ui.program.running())


if __name__ == "__main__":
    unittest.main()
