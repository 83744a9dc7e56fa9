"""The session journal end to end: the real program, with ORRINDEL_DATA_DIR
pointing at a folder of the test's own, killed with SIGKILL while it records
and started again, switched to the other theme (it restarts itself), and
started over a journal file that is not a database.

    cd tests/e2e/journal && /usr/bin/python3 -m unittest -v test_session_journal

The journal's rows are read with Python's sqlite3 while the program is gone:
the messages are plain text; for the charts the tables' last_ms column (the
time of a chunk's newest sample) is enough.
"""

import os
import re
import shutil
import signal
import sqlite3
import sys
import tempfile
import time
import unittest

HERE = os.path.dirname(os.path.abspath(__file__))
sys.path.insert(0, os.path.join(HERE, "..", "ui"))

import orrindel_ui  # noqa: E402
from orrindel_ui import Orrindel, UITestCase, scaled  # noqa: E402

DATABASE = "session-journal.sqlite"
OPTICAL_CHART = "光感曲线"
SAVE_WAVE = "保存波形"
DIALOG_TITLE = "保存波形文件"
MESSAGES = ("运行信息", "OperationInformation")
RESTARTED = "—— 程序重新启动 ——"
UNAVAILABLE = "会话记录不可用: "
LIGHT = "亮色主题"
STATUS_PERIOD_MS = 200


class JournalCase(UITestCase):
    """External control, DB25 at 50 % with the gate on (live, non-zero
    curves), a status record every 200 ms."""
    sim_args = ("--mode", "external", "--analog", "50", "--gate",
                "--period", str(STATUS_PERIOD_MS))

    def setUp(self):
        self.data_dir = tempfile.mkdtemp(prefix="orrindel-journal-")
        self.addCleanup(shutil.rmtree, self.data_dir, True)
        self.export_dir = tempfile.mkdtemp(prefix="orrindel-journal-export-")
        self.addCleanup(shutil.rmtree, self.export_dir, True)
        self.prepare_journal()
        self.ui = Orrindel(language=self.language, theme=self.theme,
                           sim_args=self.sim_args,
                           env={"ORRINDEL_DATA_DIR": self.data_dir})
        self.addCleanup(self._finish)
        self.ui.start(stop_on_error=False)

    def prepare_journal(self):
        """What the data folder holds before the program starts."""

    # --- the journal's rows, read while the program is not running ---

    def journal(self):
        return sqlite3.connect(os.path.join(self.data_dir, DATABASE))

    def stream_table(self, db, kind, key):
        row = db.execute("SELECT id FROM stream WHERE kind = ? AND key = ?", (kind, key)).fetchone()
        self.assertIsNotNone(row, "no %s stream %r in the journal" % (kind, key))
        return "%s_%d" % ("wave" if kind == "wave" else "lines", row[0])

    def chart_rows(self, key):
        """The time of a chart's newest sample (ms since the epoch) and the
        number of its samples."""
        with self.journal() as db:
            table = self.stream_table(db, "wave", key)
            return db.execute("SELECT max(last_ms), sum(count) FROM %s" % table).fetchone()

    def journal_lines(self):
        with self.journal() as db:
            table = self.stream_table(db, "lines", "messages")
            return [r[0] for r in db.execute("SELECT line FROM %s ORDER BY rowid" % table)]

    # --- the window ---

    def refresh_messages(self):
        """Refresh of the message card: one new line, returned in full."""
        ui = self.ui
        lines = ui.message_lines()
        ui.click(ui.button_in(ui.card(MESSAGES), "刷新"))
        return ui.wait_for_message(lambda l: "]> [" in l, timeout=10, since=lines)

    def export(self, name):
        """The optical chart's export through its save dialog, as text lines."""
        ui = self.ui
        ui.click(ui.button_in(ui.card(OPTICAL_CHART), SAVE_WAVE))
        dialog = ui.wait_for_top_level(DIALOG_TITLE, timeout=20)
        fields = orrindel_ui.poll(lambda: dialog.find_all("text", showing=True), 10,
                                  message=lambda: "no text input in the save dialog")
        field = ([f for f in fields if f.has_state("focused")] or fields)[0]
        path = os.path.join(self.export_dir, name)
        ui.click(field)
        ui.key("ctrl+a")
        ui.type_text(path)
        ui.key("Return")
        orrindel_ui.poll(lambda: not dialog.showing, 10, message="the save dialog stays open")
        orrindel_ui.poll(lambda: os.path.exists(path) and os.path.getsize(path) > 0, 10,
                         message="no export written to %s" % path)
        time.sleep(0.3)
        with open(path, "rb") as f:
            return f.read().decode("utf-8").lstrip("\ufeff").split("\n")

    def assert_continues(self, before, after):
        """after holds before's header and rows first, then more rows."""
        self.assertEqual(after[0], before[0])
        self.assertGreater(len(before), 1, "nothing recorded before")
        self.assertEqual(after[:len(before)], before,
                         "the rows before the restart are not all there, in order")

    def start_again(self):
        """The program started anew in the same folder, as an operator would."""
        program = self.ui.program
        program.start()
        # The harness keeps the window it found; this is another process.
        self.ui._app = self.ui._window = None
        self.ui._cards = {}
        self.ui.wait_for_window(60)


class KilledWhileRecording(JournalCase):

    def journal_lag_ms(self):
        """How far the journal's newest optical sample lags behind now."""
        try:
            newest, _ = self.chart_rows("chartPD")
        except (AssertionError, sqlite3.Error):
            return None  # no sample journalled yet
        return time.time() * 1000 - newest if newest is not None else None

    def test_sigkill_loses_at_most_the_last_second(self):
        ui = self.ui
        ui.connect_simulator()
        ui.wait_for_live_values()
        orrindel_ui.poll(lambda: self.journal_lag_ms() is not None, 10,
                         message="no sample reached the journal")
        # While it runs, what is on disk is never more than a second behind:
        # whenever the program dies, it loses at most that.
        worst = 0
        for _ in range(30):
            worst = max(worst, self.journal_lag_ms())
            time.sleep(0.1)
        self.assertLessEqual(worst, 1000, "the journal lagged %.0f ms behind" % worst)
        kept_line = self.refresh_messages()
        orrindel_ui.poll(lambda: kept_line in self.journal_lines(), 1.0,
                         message="the new message line was not on disk within a second")
        before = self.export("before.csv")
        time.sleep(scaled(1.0))

        program = ui.program
        killed_at = time.time() * 1000
        os.kill(program.pid, signal.SIGKILL)
        program.proc.wait(10)

        newest, samples = self.chart_rows("chartPD")
        self.assertGreaterEqual(newest, killed_at - 1000,
                                "the journal's newest sample is %.0f ms older than the kill"
                                % (killed_at - newest))
        self.assertIn(kept_line, self.journal_lines())

        self.start_again()
        ui.wait_for_message(RESTARTED, timeout=20)
        ui.connect_simulator()
        ui.wait_for_live_values()
        time.sleep(scaled(1.0))
        after = self.export("after.csv")
        self.assert_continues(before, after)
        # Everything the journal held at the kill came back, before the new rows.
        self.assertGreaterEqual(len(after) - 1, samples)
        self.assertGreater(samples, len(before) - 1)
        shown = ui.message_lines()
        marks = [i for i, l in enumerate(shown) if l.endswith(RESTARTED)]
        self.assertEqual(len(marks), 1, "one restart line: %s" % shown)


class ThemeSwitch(JournalCase):

    def test_theme_switch_keeps_the_recording_and_the_list(self):
        ui = self.ui
        ui.connect_simulator()
        ui.wait_for_live_values()
        time.sleep(scaled(1.5))
        kept_line = self.refresh_messages()
        before = self.export("before.csv")

        ui.click(ui.wait_for_button(LIGHT))
        # The simulated laser emits (DB25 gate on): the switch asks first.
        box = ui.wait_for("dialog", "确认操作", timeout=10)
        ui.click(ui.button_in(box, "确定"))
        ui.follow_restart(timeout=60)
        self.assertEqual(ui.program.config().get("theme"), "light")

        ui.wait_for_message(RESTARTED, timeout=20)
        shown = ui.message_lines()
        self.assertIn(kept_line, shown)
        self.assertLess(shown.index(kept_line), [i for i, l in enumerate(shown)
                                                 if l.endswith(RESTARTED)][0])
        # The new copy reconnects by itself: the export holds what the
        # earlier copy recorded, then what came since.
        after = self.export("after.csv")
        self.assert_continues(before, after)


class GarbageJournal(JournalCase):

    def prepare_journal(self):
        with open(os.path.join(self.data_dir, DATABASE), "wb") as f:
            f.write(b"this is not a database, but an operator's shopping list\n" * 100)

    def test_unusable_journal_is_one_line_and_the_program_runs_on(self):
        ui = self.ui
        line = ui.wait_for_message(UNAVAILABLE, timeout=20)
        self.assertRegex(line, r"^\[\d\d:\d\d:\d\d\]> " + re.escape(UNAVAILABLE)
                         + r".*not a database")
        ui.connect_simulator()
        ui.wait_for_live_values()
        time.sleep(scaled(2.0))
        self.assertEqual(len([l for l in ui.message_lines() if UNAVAILABLE in l]), 1)
        # The recording runs in memory as before.
        rows = self.export("memory.csv")
        self.assertGreaterEqual(len(rows) - 1, 5)
        # The file is left as it was, for whoever wants to look at it.
        with open(os.path.join(self.data_dir, DATABASE), "rb") as f:
            self.assertTrue(f.read().startswith(b"this is not a database"))


if __name__ == "__main__":
    unittest.main()
