"""The unittest base class of the window tests."""

import sys
import unittest

from harness.common import artifacts_dir
from pages.window import Orrindel


class UITestCase(unittest.TestCase):
    """Starts one program (and simulator) per test; on failure leaves the
    screenshot, the accessible tree and the logs in artifacts_dir()."""

    language = "cn"
    theme = "dark"
    simulator = True
    sim_args = ()
    sim_link = False

    def setUp(self):
        self.ui = Orrindel(language=self.language, theme=self.theme,
                           simulator=self.simulator, sim_args=self.sim_args,
                           sim_link=self.sim_link)
        self.addCleanup(self._finish)
        self.ui.start(stop_on_error=False)

    def _failed(self):
        """True when setUp, the test or a sub-test of it has failed so far."""
        outcome = getattr(self, "_outcome", None)
        result = getattr(outcome, "result", None)
        if result is None:
            return False
        for test, _ in list(getattr(result, "errors", [])) + list(getattr(result, "failures", [])):
            if test is self or getattr(test, "test_case", None) is self:
                return True
        return False

    def _finish(self):
        try:
            if self._failed() and self.ui.program is not None:
                saved = self.ui.save_artifacts(artifacts_dir(), self.id())
                sys.stderr.write("\nartifacts of %s:\n  %s\n" % (self.id(), "\n  ".join(saved)))
        finally:
            self.ui.stop()
