"""The main window as one page object: the driver (processes, window,
lookups, input) with the cards that need more than a generic lookup."""

from harness.lookups import Lookups
from harness.session import Session
from harness.user_input import UserInput

from pages.connection import ConnectionCard
from pages.dialogs import Dialogs
from pages.messages import MessageCard
from pages.status import StatusCard


class Orrindel(Session, Lookups, UserInput):
    """The program (and by default a simulator on its first port) for one test.

        with Orrindel(language="en", theme="light") as ui:
            ui.click(ui.wait_for("push button", "中/En"))
            ui.wait_for("push button", ("亮色主题", "Light"))

    The cards are ``connection_card``, ``status_card``, ``message_card`` and
    the windows of their own ``dialogs``; the methods below that are about
    one of them hand over to it.
    """

    # Accessible names of parts of the window (both languages); tests use
    # them as ui.CONNECTION_CARD, ui.DISCONNECT ...
    CONNECTION_CARD = ConnectionCard.TITLE
    CONNECT = ConnectionCard.CONNECT
    DISCONNECT = ConnectionCard.DISCONNECT
    STATUS_CARD = StatusCard.TITLE
    DEVICE_ID = StatusCard.DEVICE_ID
    MESSAGE_LIST = MessageCard.TITLE

    def __init__(self, language="cn", theme="dark", simulator=True, sim_args=(),
                 extra_ports=(), env=None, keep_workdir=False, sim_link=False,
                 config_text=None, launcher=None, binary=None):
        super().__init__(language=language, theme=theme, simulator=simulator,
                         sim_args=sim_args, extra_ports=extra_ports, env=env,
                         keep_workdir=keep_workdir, sim_link=sim_link,
                         config_text=config_text, launcher=launcher, binary=binary)
        self.connection_card = ConnectionCard(self)
        self.status_card = StatusCard(self)
        self.message_card = MessageCard(self)
        self.dialogs = Dialogs(self)

    # --- the connection card ---

    def connect_simulator(self, timeout=30):
        """See ConnectionCard.connect_simulator."""
        return self.connection_card.connect_simulator(timeout)

    # --- the status card ---

    def status_item(self, title, timeout=20):
        """See StatusCard.item."""
        return self.status_card.item(title, timeout)

    def wait_for_status(self, title, wanted, timeout=20):
        """See StatusCard.wait_for."""
        return self.status_card.wait_for(title, wanted, timeout)

    def wait_for_live_values(self, device_id=None, timeout=30):
        """See StatusCard.wait_for_live_values."""
        return self.status_card.wait_for_live_values(device_id, timeout)

    # --- the message card ---

    def message_list(self, timeout=20):
        """See MessageCard.message_list."""
        return self.message_card.message_list(timeout)

    def message_lines(self):
        """See MessageCard.lines."""
        return self.message_card.lines()

    def wait_for_message(self, wanted, timeout=20, since=None):
        """See MessageCard.wait_for."""
        return self.message_card.wait_for(wanted, timeout, since)

    def new_message_lines(self, since=None):
        """See MessageCard.new_lines."""
        return self.message_card.new_lines(since)

    # --- windows of their own ---

    def top_levels(self):
        """See Dialogs.top_levels."""
        return self.dialogs.top_levels()

    def wait_for_top_level(self, name, role=None, timeout=20):
        """See Dialogs.wait_for_top_level."""
        return self.dialogs.wait_for_top_level(name, role, timeout)
