"""Exporting a chart's recording through the save dialog: the chart's
"save wave" button opens the dialog (a window of its own), a file name with a
blank in it is typed and accepted, and the file holds the header and one line
per recorded status record.

    cd tests/e2e/ui && /usr/bin/python3 -m unittest -v test_chart_export
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
from orrindel_ui import UITestCase, scaled  # noqa: E402

OPTICAL_CHART = {"cn": "光感曲线", "en": "OpticalChart"}
SAVE_WAVE = {"cn": "保存波形", "en": "Save wave"}
DIALOG_TITLE = {"cn": "保存波形文件", "en": "Save wave to file"}
HEADER = {"cn": "时间戳,光感1,光感2", "en": "Time,Optical1,Optical2"}
# A data line: the time of day (locale's long format), a full stop and the
# milliseconds without padding, then one number per curve.
NUMBER = r"-?\d+(\.\d+)?(e[-+]?\d+)?"
DATA_LINE = re.compile(r"^(?P<time>[^,]*\d\d:\d\d[^,]*\.\d{1,3}),(?P<a>%s),(?P<b>%s)$"
                       % (NUMBER, NUMBER))
# The second file type: the local date and time first.
WITH_DATE_TYPE = "ISO 8601"
ISO_TIME = re.compile(r"^\d{4}-\d\d-\d\dT\d\d:\d\d:\d\d\.\d{3}$")


class ExportCase(UITestCase):
    """External control, DB25 at 50 % with the gate on: the photodiodes read
    about 2000 and 1840 (the second 92 % of the first)."""
    sim_args = ("--mode", "external", "--analog", "50", "--gate")

    def setUp(self):
        super().setUp()
        self.folder = tempfile.mkdtemp(prefix="orrindel-export-")
        self.addCleanup(shutil.rmtree, self.folder, True)

    def save_dialog(self):
        lang = self.language
        chart = self.ui.card(OPTICAL_CHART[lang])
        self.ui.click(self.ui.button_in(chart, SAVE_WAVE[lang]))
        return self.ui.wait_for_top_level(DIALOG_TITLE[lang], timeout=20)

    def file_name_field(self, dialog):
        """The dialog's file-name input: the editable text that has the focus
        when the dialog opens (the only one in a plain save dialog)."""
        fields = orrindel_ui.poll(
            lambda: dialog.find_all("text", showing=True), 10,
            message=lambda: "no text input in the save dialog:\n" + dialog.outline())
        focused = [f for f in fields if f.has_state("focused")]
        return (focused or fields)[0]

    def export(self, file_name, with_date=False):
        dialog = self.save_dialog()
        field = self.file_name_field(dialog)
        path = os.path.join(self.folder, file_name)
        self.ui.click(field)
        self.ui.key("ctrl+a")
        self.ui.type_text(path)
        if with_date:
            # The file-type list shows the chosen type as its name.
            types = [c for c in dialog.find_all("combo box", showing=True)
                     if any(WITH_DATE_TYPE in t for t in c.all_texts())]
            self.assertTrue(types, "no file type %r in the dialog:\n%s" % (WITH_DATE_TYPE,
                                                                          dialog.outline()))
            self.ui.click(types[0])
            self.ui.key("Down", "Return")
            orrindel_ui.poll(lambda: WITH_DATE_TYPE in (types[0].name or ""), 10,
                             message=lambda: "the file type reads %r" % types[0].name)
            self.ui.click(field)
        self.ui.key("Return")
        orrindel_ui.poll(lambda: not dialog.showing, 10,
                         message="the save dialog is still open after Return")
        return path

    def read_export(self, path):
        orrindel_ui.poll(lambda: os.path.exists(path) and os.path.getsize(path) > 0, 10,
                         message=lambda: "no file %r was written; the folder holds %s"
                         % (path, os.listdir(self.folder)))
        time.sleep(0.3)
        with open(path, "rb") as f:
            return f.read().decode("utf-8")

    def check_data(self, text, header, at_least):
        lines = text.split("\n")
        self.assertEqual(lines[0].lstrip("\ufeff"), header)
        self.assertFalse(text.endswith("\n"), "a line break after the last line")
        data = lines[1:]
        self.assertGreaterEqual(len(data), at_least, "too few recorded samples:\n" + text)
        for line in data:
            match = DATA_LINE.match(line)
            self.assertIsNotNone(match, "not a data line: %r" % line)
            first, second = float(match.group("a")), float(match.group("b"))
            # Live values of the emitting laser, not the charts' zero pre-fill.
            self.assertGreater(first, 1000, line)
            self.assertAlmostEqual(second / first, 0.92, delta=0.03, msg=line)
        return data


class ChartExport(ExportCase):
    language = "cn"

    def test_save_wave_writes_the_recording_to_a_file_name_with_a_blank(self):
        ui = self.ui
        ui.connect_simulator()
        ui.wait_for_live_values()
        ui.wait_for_status("出光状态", "使能开启", timeout=10)
        time.sleep(scaled(3.0))  # six more records
        path = self.export("my wave.csv")
        text = self.read_export(path)
        data = self.check_data(text, HEADER[self.language], at_least=5)
        self.assertEqual(sorted(os.listdir(self.folder)), ["my wave.csv"])
        # Still recording: a second export holds more samples; with the
        # second file type each line starts with the local date and time.
        time.sleep(scaled(1.5))
        more = self.read_export(self.export("again.csv", with_date=True))
        lines = more.split("\n")
        self.assertEqual(lines[0], HEADER[self.language])
        self.assertGreater(len(lines) - 1, len(data))
        today = time.strftime("%Y-%m-%d")
        for old_line, new_line in zip(data, lines[1:]):
            stamp, _, values = new_line.partition(",")
            self.assertRegex(stamp, ISO_TIME)
            self.assertTrue(stamp.startswith(today) or time.strftime("%H") == "00", stamp)
            # The same samples, in the same order, as the first export.
            self.assertEqual(values, old_line.partition(",")[2])
            self.assertEqual(stamp[11:19], DATA_LINE.match(old_line).group("time")[:8])

    def test_export_right_after_start_holds_only_the_header(self):
        """Nothing recorded yet: the charts' zero pre-fill is never exported."""
        text = self.read_export(self.export("empty.csv"))
        self.assertEqual(text.lstrip("\ufeff"), HEADER[self.language])

    def test_cancelled_save_dialog_writes_nothing(self):
        ui = self.ui
        ui.connect_simulator()
        ui.wait_for_live_values()
        dialog = self.save_dialog()
        field = self.file_name_field(dialog)
        # The dialog proposes the name "wave".
        self.assertEqual(os.path.splitext(field.text)[0], "wave")
        ui.click(field)
        ui.key("ctrl+a")
        ui.type_text(os.path.join(self.folder, "never.csv"))
        ui.key("Escape")
        orrindel_ui.poll(lambda: not dialog.showing, 10,
                         message="the save dialog is still open after Escape")
        time.sleep(scaled(1.0))
        self.assertEqual(os.listdir(self.folder), [])


class ChartExportInEnglish(ExportCase):
    language = "en"
    theme = "light"

    def test_header_follows_a_language_switch(self):
        """Started in English, switched to Chinese: the export's header is
        in the language of the moment."""
        ui = self.ui
        ui.connect_simulator()
        ui.wait_for_live_values()
        time.sleep(scaled(1.5))
        text = self.read_export(self.export("english.csv"))
        self.check_data(text, HEADER["en"], at_least=2)

        ui.click(ui.wait_for_button("中/En"))
        ui.button_in(ui.card(ui.CONNECTION_CARD), "断开", timeout=10)
        self.language = "cn"
        text = self.read_export(self.export("switched.csv"))
        self.check_data(text, HEADER["cn"], at_least=2)


if __name__ == "__main__":
    unittest.main()
