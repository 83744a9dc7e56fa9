"""Real pointer and keyboard input on the private desktop (xdotool)."""

import time

from .atspi_nodes import _describe_wanted, _name_matches, _role_key
from .common import HarnessError, poll


class UserInput:
    """Input for a class that has ``desktop`` and the lookups ``find_all``
    and ``texts`` (see Session and Lookups)."""

    def click(self, node, button=1, settle=0.3):
        """A real pointer click at the centre of the node's screen rectangle."""
        if not node.showing:
            raise HarnessError("cannot click %r: it is not shown" % (node,))
        x, y = node.center
        self.click_at(x, y, button, settle)

    def click_at(self, x, y, button=1, settle=0.3):
        """A real pointer click at screen position (x, y)."""
        self.desktop.move_pointer(x, y)
        self.desktop.xdotool("click", button)
        time.sleep(settle)

    def type_text(self, text, delay_ms=30):
        """Type text into whatever has the keyboard focus (click the input first)."""
        self.desktop.xdotool("type", "--delay", delay_ms, "--", text)

    def key(self, *keys):
        """Press keys or chords, e.g. key("Return"), key("ctrl+a", "BackSpace")."""
        self.desktop.xdotool("key", "--delay", 50, *keys)

    def select_combo_entry(self, combo, wanted, timeout=10):
        """Make combo show an entry whose text matches wanted (see _name_matches;
        a plain string here means "contains"). Opens the list with a click when
        the entry is not already current."""
        if isinstance(wanted, str):
            needle = wanted
            wanted = lambda name: name is not None and needle in name  # noqa: E731

        def current():
            return any(_name_matches(wanted, t) for t in combo.all_texts())
        if current():
            return combo
        self.click(combo)
        entry = poll(lambda: [n for n in self.find_all(showing=True)
                              if n.acc != combo.acc and _name_matches(wanted, n.name)
                              and _role_key(n.role) not in ("combo box", "text")],
                     timeout, message=lambda: "no entry %s in the open list: %s" % (
                         _describe_wanted(None, wanted), self.texts()))[0]
        self.click(entry)
        poll(current, timeout, message=lambda: "%r does not show %s after choosing %r: %s" % (
            combo, _describe_wanted(None, wanted), entry, combo.all_texts()))
        return combo


    def set_input(self, node, text):
        """Replace the text of an input: click into it, select all, type."""
        self.click(node)
        self.key("ctrl+a")
        self.type_text(text)

    def wheel(self, node, notches, delay_ms=80):
        """Turn the mouse wheel over the centre of node: notches > 0 up, < 0 down."""
        if not node.showing:
            raise HarnessError("cannot turn the wheel over %r: it is not shown" % (node,))
        x, y = node.center
        self.desktop.move_pointer(x, y)
        if notches:
            self.desktop.xdotool("click", "--repeat", abs(notches), "--delay", delay_ms,
                                 4 if notches > 0 else 5)
        time.sleep(0.2)
