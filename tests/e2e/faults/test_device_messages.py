"""Device messages the program must show as they are, whatever they hold:
one of 60,000 bytes (near the most a frame's 16-bit length can carry), a
run of a thousand-byte messages adding up to as much, and one full of
markup, which is shown as plain text.

    cd tests/e2e/faults && /usr/bin/python3 -m unittest -v test_device_messages
"""

import re
import time
import unittest

from fault_support import click_answers, figure, humidity_seen_after
from orrindel_ui import UITestCase, poll

BIG_BYTES = 60000
MARKUP = ("<h1>Heading</h1><b>bold</b><br><br><img src=\"file:///nonexistent/pic.png\" "
          "width=\"600\" height=\"600\"><table><tr><td>cell</td></tr></table>&lt;tag&gt; &amp;")


def big_text(size, start="BIG-START", end="BIG-END"):
    """ASCII words (one byte a character), exactly size bytes long."""
    body = []
    length = len(start) + len(end) + 2
    n = 0
    while length < size:
        word = "w%05d" % n
        body.append(word)
        length += len(word) + 1
        n += 1
    text = " ".join([start] + body + [end])
    return text[:len(start) + 1] + text[len(start) + 1 + (len(text) - size):] \
        if len(text) > size else text


class DeviceMessages(UITestCase):
    language = "cn"
    sim_args = ("--period", "200")

    def connect(self):
        ui = self.ui
        ui.connect_simulator()
        ui.wait_for_live_values()
        ui.wait_for_message("V2.3.1-QCW")

    def markup_shown_as_plain_text(self):
        ui = self.ui
        version = ui.wait_for_message("V2.3.1-QCW")
        lines = ui.message_lines()
        ui.sim.console("send " + MARKUP)
        line = ui.wait_for_message(MARKUP, timeout=10, since=lines)
        self.assertTrue(line.endswith(MARKUP), line)
        node = poll(lambda: [n for n in ui.message_list().find_all("label", showing=True)
                             if n.name == line], 5, message="the markup line is not shown")[0]
        plain = [n for n in ui.message_list().find_all("label", showing=True)
                 if n.name == version][0]
        # As rich text, the heading, the breaks, the table and a 600 pixel
        # high picture would make it hundreds of pixels high; as plain text
        # it is a few lines of the list's font.
        height, one_line = node.rect[3], plain.rect[3]
        self.assertLessEqual(height, 4 * one_line, "the markup line is %d px high, a line "
                             "of text %d px: it was rendered as rich text" % (height, one_line))
        click_answers(ui)

    def test_messages_with_markup_and_of_sixty_thousand_bytes_are_shown_whole(self):
        ui = self.ui
        self.connect()
        self.markup_shown_as_plain_text()

        text = big_text(BIG_BYTES)
        self.assertEqual(len(text.encode()), BIG_BYTES)
        lines = ui.message_lines()
        start = time.monotonic()
        ui.sim.console("send " + text)
        line = ui.wait_for_message(lambda l: l is not None and "BIG-START" in l, timeout=20,
                                   since=lines)
        shown = time.monotonic() - start
        self.assertTrue(line.endswith(text), "the line does not end with the message: "
                        "%d characters, ending %r" % (len(line), line[-60:]))
        answer = click_answers(ui)
        latency = humidity_seen_after(ui, 44)
        figure("60000-byte message shown %.0f ms after it was sent; then a click answered "
               "in %.0f ms, a value showed in %.0f ms", 1000 * shown, 1000 * answer,
               1000 * latency)

        # A run of sixty messages of a thousand bytes, back to back.
        lines = ui.message_lines()
        for i in range(1, 61):
            ui.sim.console("send " + big_text(1000, "RUN-%02d" % i, "RUN-END-%02d" % i))
        ui.wait_for_message("RUN-END-60", timeout=20, since=lines)
        # The lines in view are the run's last ones, in order, none lost.
        numbers = [int(m.group(1)) for m in
                   (re.search(r"RUN-(\d\d) ", l) for l in ui.message_lines()) if m]
        self.assertGreaterEqual(len(numbers), 1)
        self.assertEqual(numbers, list(range(61 - len(numbers), 61)))
        click_answers(ui)
        humidity_seen_after(ui, 45)
        self.assertTrue(ui.program.running())


if __name__ == "__main__":
    unittest.main()
