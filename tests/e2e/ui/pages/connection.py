"""The connection card: the port list and the Connect / Disconnect button."""

from harness.common import HarnessError, poll


class ConnectionCard:
    """The connection card of one window (``ui``: the Orrindel it belongs to)."""

    TITLE = ("设备连接", "DeviceConnect")
    CONNECT = ("连接", "Connect")
    DISCONNECT = ("断开", "Disconnect")

    def __init__(self, ui):
        self.ui = ui

    def connect_simulator(self, timeout=30):
        """Connect the program to the simulator the way an operator does: pick
        the simulator's port in the port list and press Connect; wait until the
        button reads Disconnect and the simulator's device number shows.
        Returns False when the window has no Connect button (nothing done)."""
        ui = self.ui
        if ui.sim is None:
            raise HarnessError("no simulator was started")
        # The connection card when the window has one (a small subtree to
        # search), else the whole window.
        scope = ui.find_card(self.TITLE) or ui.window
        buttons = scope.find_all("push button", self.CONNECT, showing=True) \
            or ui.find_buttons(self.CONNECT)
        if not buttons:
            return False
        entry = "(%s)" % ui.sim.line
        combos = scope.find_all("combo box", showing=True)
        if combos:
            holding = [c for c in combos if any(entry in t for t in c.all_texts())]
            ui.select_combo_entry(holding[0] if holding else combos[0], entry, timeout)
        ui.click(buttons[0])
        if scope is not ui.window:
            poll(lambda: scope.find_all("push button", self.DISCONNECT, showing=True), timeout,
                 interval=0.2, message=lambda: "the connect button never read %s: %s" % (
                     self.DISCONNECT, [(n.role, n.name) for n in scope.walk(limit=50)]))
        else:
            ui.wait_for_button(self.DISCONNECT, timeout)
        return True
