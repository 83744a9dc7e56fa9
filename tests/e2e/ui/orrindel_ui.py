"""Drive the real Orrindel window from Python, the way an operator would.

This is the module the window tests, the fault and journal tests and the
scripts import; the code lives in two packages next to it:

* ``harness``, the driver, on a private, throw-away desktop:
  ``desktop.py`` (``Desktop``: an Xvfb server, 1920x1080x24, ``-noreset``,
  a free display number, a private D-Bus session and the AT-SPI bus; one per
  Python process, since the accessibility client library keeps its bus
  connection for the life of the process: ``desktop()`` starts it on first
  use and it is stopped at exit), ``simulator.py`` (``Simulator``:
  ``orrindel-sim`` on a pseudo-terminal with ``--log`` and its console on a
  pipe, optionally with ``--link``), ``program.py`` (``Program``: the real
  binary in a temporary working directory with a ``config.ini`` for the
  language and theme and ``ORRINDEL_EXTRA_PORTS`` set to the simulator's
  port; it follows the detached copy a theme switch starts),
  ``atspi_nodes.py`` (``Node``: role, name, description, text, screen
  rectangle, lookups), ``session.py`` (one program and simulator, the
  window, screenshots, artifacts), ``lookups.py`` (``find``/``wait_for``/
  ``wait_for_button``/``wait_for_text``, ``card``, ``wait_in``,
  ``button_in`` ...), ``user_input.py`` (``click``, ``type_text``, ``key``,
  ``set_input``, ``wheel``, ``select_combo_entry``), ``processes.py`` and
  ``common.py`` (timeouts, ``poll``, paths, ``HarnessError``).
* ``pages``, the page objects: ``window.py`` (``Orrindel``: the driver with
  its cards), ``connection.py`` (``connect_simulator``), ``status.py``
  (``status_item``/``wait_for_status``/``wait_for_live_values``),
  ``messages.py`` (``message_lines``/``wait_for_message``), ``dialogs.py``
  (``wait_for_top_level``: a dialog window of its own) and ``testcase.py``
  (``UITestCase``: one ``Orrindel`` per test; a failed test leaves a
  screenshot, the accessible tree and the logs).

Lookups go by role and name only, never by position. Roles are AT-SPI role
names ("push button", "label", "combo box", "frame", "panel", "slider",
"page tab", "password text" ...). Qt 5.15 does not report a disabled QML item
as disabled on the bus, so ``Node.enabled`` is true for every QML item.

Binaries are taken from ``ORRINDEL_BIN`` and ``ORRINDEL_SIM`` or, when those
are not set, from ``build/bin`` of the source tree this file lives in.
``ORRINDEL_E2E_TIMEOUT_SCALE`` multiplies every timeout (slow machines).

Use ``/usr/bin/python3``: the accessibility bindings come from Debian.
"""

import os
import sys

# The packages next to this file must be importable also when this module
# was loaded by its path rather than found on sys.path.
_HERE = os.path.dirname(os.path.abspath(__file__))
if not any(os.path.abspath(entry or os.curdir) == _HERE for entry in sys.path):
    sys.path.append(_HERE)

from harness.atspi_nodes import (Node, _atspi, _describe_wanted, _name_matches,  # noqa: E402
                                 _no_cache, _role_key, applications)
from harness.common import (HERE, SCREEN_DEPTH, SCREEN_SIZE, SOURCE_DIR,  # noqa: E402
                            HarnessError, _read_line_with_timeout, _read_with_timeout,
                            _slug, _tail, artifacts_dir, poll, program_path, scaled,
                            simulator_path, timeout_scale)
from harness.desktop import (Desktop, _running, _stop_desktop, _stop_on_sigterm,  # noqa: E402
                             desktop)
from harness.lookups import Lookups  # noqa: E402
from harness.processes import (_HARNESS_COMMANDS, _PR_SET_CHILD_SUBREAPER,  # noqa: E402
                               _PR_SET_PDEATHSIG, _become_subreaper, _children_named,
                               _die_with_parent, _libc, _pid_alive, _proc_state,
                               _processes_of, _stop_adopted, _stop_popen, _terminate_pid,
                               _wait_pid_gone)
from harness.program import Program  # noqa: E402
from harness.session import Session  # noqa: E402
from harness.simulator import Simulator  # noqa: E402
from harness.user_input import UserInput  # noqa: E402
from pages.connection import ConnectionCard  # noqa: E402
from pages.dialogs import Dialogs  # noqa: E402
from pages.messages import MessageCard  # noqa: E402
from pages.status import StatusCard  # noqa: E402
from pages.testcase import UITestCase  # noqa: E402
from pages.window import Orrindel  # noqa: E402

__all__ = [
    # what tests and scripts use
    "Orrindel", "UITestCase", "HarnessError", "poll", "scaled", "program_path", "desktop",
    "_atspi",
    # the rest of the harness, under the names it always had here
    "HERE", "SOURCE_DIR", "SCREEN_SIZE", "SCREEN_DEPTH", "timeout_scale", "simulator_path",
    "artifacts_dir", "Desktop", "Simulator", "Program", "Node", "applications",
    "Session", "Lookups", "UserInput", "ConnectionCard", "StatusCard", "MessageCard",
    "Dialogs",
    "_libc", "_PR_SET_PDEATHSIG", "_PR_SET_CHILD_SUBREAPER", "_die_with_parent",
    "_become_subreaper", "_proc_state", "_pid_alive", "_wait_pid_gone", "_terminate_pid",
    "_stop_popen", "_children_named", "_stop_adopted", "_HARNESS_COMMANDS", "_processes_of",
    "_stop_desktop", "_stop_on_sigterm", "_running", "_read_with_timeout",
    "_read_line_with_timeout", "_tail", "_role_key", "_name_matches", "_describe_wanted",
    "_no_cache", "_slug",
]
