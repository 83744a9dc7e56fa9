"""Windows of their own next to the main window (file dialogs and the like)."""

from harness.atspi_nodes import _describe_wanted, _name_matches, _no_cache, _role_key
from harness.common import HarnessError, _tail, poll


class Dialogs:
    """The program's top-level windows (``ui``: the Orrindel they belong to)."""

    def __init__(self, ui):
        self.ui = ui

    def top_levels(self):
        """The program's top-level windows (its main window, dialogs of their own)."""
        app = self.ui._application()
        if app is None:
            return []
        _no_cache(app)
        return app.children()

    def wait_for_top_level(self, name, role=None, timeout=20):
        """A shown top-level window of the program named name, such as a file
        dialog (which is a window of its own, not part of the main window)."""
        ui = self.ui

        def attempt():
            if not ui.program.running():
                raise HarnessError("the program is no longer running; log:\n"
                                   + _tail(ui.program.log_path))
            for node in self.top_levels():
                if (_name_matches(name, node.name) and node.showing
                        and (role is None or _role_key(node.role) == _role_key(role))):
                    return node
            return None
        return poll(attempt, timeout, interval=0.2, message=lambda: "no top-level window %s "
                    "after %ss; the program has: %s" % (
                        _describe_wanted(role, name), timeout,
                        [(n.role, n.name, n.showing) for n in self.top_levels()]))
