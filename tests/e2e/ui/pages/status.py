"""The device card (status): one item per value, titled by its accessible
name, the value in its description."""

from harness.atspi_nodes import _name_matches


class StatusCard:
    """The status card of one window (``ui``: the Orrindel it belongs to).
    Found items are remembered in the window's card cache, which a restart
    empties."""

    TITLE = ("设备信息", "DeviceInfo")
    DEVICE_ID = ("设备编号", "Device ID")

    def __init__(self, ui):
        self.ui = ui

    def item(self, title, timeout=20):
        """A status item of the device card: its accessible name is the title,
        its description the value it shows (values of several boxes joined
        by blanks). Found items are remembered while their name still fits."""
        key = ("status", repr(title))
        node = self.ui._cards.get(key)
        if node is not None and _name_matches(title, node.name):
            return node
        node = self.ui.wait_in(self.ui.card(self.TITLE, timeout), "label", title, timeout,
                               showing=None)
        self.ui._cards[key] = node
        return node

    def wait_for(self, title, wanted, timeout=20):
        """Wait until the status item titled title shows wanted (see
        _name_matches; a plain string is an exact match); returns the value."""
        item = self.item(title, timeout)
        self.ui.wait_for_description(item, wanted, timeout)
        return item.description

    def wait_for_live_values(self, device_id=None, timeout=30):
        """Wait until the window shows the simulator's device number (its
        --id, by default SN240403), i.e. status records arrive and are shown."""
        ui = self.ui
        if device_id is None:
            device_id = "SN240403"
            args = ui.sim_args
            for i, arg in enumerate(args):
                if arg == "--id" and i + 1 < len(args):
                    device_id = args[i + 1]
                elif arg.startswith("--id="):
                    device_id = arg[len("--id="):]
        # The device card's number item when there is one (quick to read),
        # else any text of the window.
        card = ui.find_card(self.TITLE)
        items = card.find_all("label", self.DEVICE_ID) if card is not None else []
        if items:
            ui.wait_for_description(items[0], lambda value: device_id in value, timeout)
            return items[0]
        return ui.wait_for_text(device_id, timeout)
