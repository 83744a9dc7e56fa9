"""The message card: the list of operation messages, newest lines shown."""

from harness.atspi_nodes import _describe_wanted, _name_matches
from harness.common import poll


class MessageCard:
    """The message list of one window (``ui``: the Orrindel it belongs to)."""

    # The card and the list inside it share this name.
    TITLE = ("运行信息", "OperationInformation")

    def __init__(self, ui):
        self.ui = ui

    def message_list(self, timeout=20):
        """The message list (inside its card of the same name)."""
        ui = self.ui
        key = "message list"
        node = ui._cards.get(key)
        if node is not None and node.showing and _name_matches(self.TITLE, node.name):
            return node
        card = ui.find_card(self.TITLE)
        if card is not None:
            node = ui.wait_in(card, "list", self.TITLE, timeout)
        else:
            node = ui.wait_for("list", self.TITLE, timeout)
        ui._cards[key] = node
        return node

    def lines(self):
        """The lines (shown text items) of the message list, top to bottom.
        The list creates items only for the lines in and near its view, so a
        long list gives its newest lines."""
        shown = []
        for node in self.message_list().find_all("label", showing=True):
            rect = node.rect
            if node.name and rect and rect[3] > 0:
                shown.append((rect[1], node.name))
        return [name for _, name in sorted(shown, key=lambda entry: entry[0])]

    def wait_for(self, wanted, timeout=20, since=None):
        """A line of the message list that matches wanted (a plain string
        here means "contains") and, with since (an earlier lines()), was not
        there then (lines are compared as a multiset)."""
        if isinstance(wanted, str):
            needle = wanted
            wanted = lambda line: line is not None and needle in line  # noqa: E731

        def attempt():
            for line in self.new_lines(since):
                if _name_matches(wanted, line):
                    return line
            return None
        return poll(attempt, timeout, interval=0.25, message=lambda: "no %smessage line %s "
                    "after %ss; the list shows:\n  %s" % (
                        "new " if since is not None else "", _describe_wanted(None, wanted),
                        timeout, "\n  ".join(self.lines())))

    def new_lines(self, since=None):
        """The lines shown now that were not in since (an earlier lines())."""
        lines = self.lines()
        if since is None:
            return lines
        old = list(since)
        fresh = []
        for line in lines:
            if line in old:
                old.remove(line)
            else:
                fresh.append(line)
        return fresh
