"""The driver of the window tests: the private desktop, the simulator and
program processes, accessible nodes, lookups, input, polling and artifacts.
The page objects of the window's cards live in ``pages``; ``orrindel_ui``
is the module tests import."""
