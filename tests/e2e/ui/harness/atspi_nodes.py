"""Accessible nodes of the program (AT-SPI): roles, name matching, the
node wrapper with its lookups, and the applications on the bus."""

import re

from .common import HarnessError


_atspi_module = None


def _atspi():
    global _atspi_module
    if _atspi_module is None:
        import warnings
        with warnings.catch_warnings():
            warnings.simplefilter("ignore")
            import gi
            gi.require_version("Atspi", "2.0")
            from gi.repository import Atspi
        _atspi_module = Atspi
    return _atspi_module


def _role_key(role):
    return re.sub(r"[\s_-]+", " ", str(role)).strip().lower()


def _name_matches(wanted, name):
    """wanted: None (any), a string (exact), a compiled regex (search), a
    callable, or a list/tuple/set of alternatives."""
    if wanted is None:
        return True
    if isinstance(wanted, (list, tuple, set, frozenset)):
        return any(_name_matches(w, name) for w in wanted)
    if isinstance(wanted, re.Pattern):
        return name is not None and wanted.search(name) is not None
    if callable(wanted):
        return bool(wanted(name))
    return name == wanted


def _describe_wanted(role, name):
    parts = []
    if role is not None:
        parts.append("role %r" % (role,))
    if name is not None:
        if isinstance(name, re.Pattern):
            parts.append("name matching /%s/" % name.pattern)
        elif isinstance(name, (list, tuple, set, frozenset)):
            parts.append("name in %r" % (list(name),))
        elif callable(name):
            parts.append("name accepted by %s" % getattr(name, "__name__", name))
        else:
            parts.append("name %r" % (name,))
    return " and ".join(parts) or "any node"


class Node:
    """An accessible object of the program's window."""

    def __init__(self, accessible):
        self.acc = accessible

    def _safe(self, getter, default=None):
        try:
            return getter()
        except Exception:  # the object went away or the call timed out
            return default

    @property
    def role(self):
        return self._safe(self.acc.get_role_name, "")

    @property
    def name(self):
        return self._safe(self.acc.get_name, "") or ""

    @property
    def description(self):
        return self._safe(self.acc.get_description, "") or ""

    @property
    def text(self):
        """The text of a text node, or the name for nodes without text."""
        Atspi = _atspi()

        def read():
            if "Text" not in self.acc.get_interfaces():
                return None
            return Atspi.Text.get_text(self.acc, 0, Atspi.Text.get_character_count(self.acc))
        value = self._safe(read)
        return value if value is not None else self.name

    @property
    def pid(self):
        return self._safe(self.acc.get_process_id)

    def has_state(self, nick):
        """nick: "showing", "visible", "enabled", "focused", "checked", "pressed" ..."""
        Atspi = _atspi()
        state = getattr(Atspi.StateType, nick.upper().replace("-", "_"))
        state_set = self._safe(self.acc.get_state_set)
        return bool(state_set and state_set.contains(state))

    @property
    def showing(self):
        return self.has_state("showing")

    @property
    def enabled(self):
        return self.has_state("enabled")

    @property
    def rect(self):
        """(x, y, width, height) on the screen, or None."""
        Atspi = _atspi()

        def read():
            ext = self.acc.get_extents(Atspi.CoordType.SCREEN)
            return (ext.x, ext.y, ext.width, ext.height)
        return self._safe(read)

    @property
    def center(self):
        rect = self.rect
        if not rect or rect[2] <= 0 or rect[3] <= 0:
            raise HarnessError("%s has no area on the screen (%r)" % (self, rect))
        return (rect[0] + rect[2] // 2, rect[1] + rect[3] // 2)

    def children(self):
        count = self._safe(self.acc.get_child_count, 0) or 0
        result = []
        for i in range(count):
            child = self._safe(lambda: self.acc.get_child_at_index(i))
            if child is not None:
                result.append(Node(child))
        return result

    def parent(self):
        parent = self._safe(self.acc.get_parent)
        return Node(parent) if parent is not None else None

    def walk(self, limit=20000):
        """This node and its descendants, depth first."""
        stack = [self]
        seen = 0
        while stack and seen < limit:
            node = stack.pop()
            seen += 1
            yield node
            stack.extend(reversed(node.children()))

    def find_all(self, role=None, name=None, showing=None, where=None):
        """Descendants (and self) with the role (e.g. "push button", "label",
        "combo box", "frame"), the name (see _name_matches), the showing state
        and for which where(node) holds."""
        role_key = _role_key(role) if role is not None else None
        found = []
        for node in self.walk():
            if role_key is not None and _role_key(node.role) != role_key:
                continue
            if not _name_matches(name, node.name):
                continue
            if showing is not None and node.showing != showing:
                continue
            if where is not None and not where(node):
                continue
            found.append(node)
        return found

    def all_texts(self):
        """Names and texts of this node and its descendants (what it shows)."""
        texts = []
        for node in self.walk(limit=500):
            for value in (node.name, node.text):
                if value and value not in texts:
                    texts.append(value)
        return texts

    def outline(self, max_nodes=2000):
        """The subtree as indented lines: role, name, description, rectangle, states."""
        lines = []

        def visit(node, depth):
            if len(lines) >= max_nodes:
                return
            extra = []
            if node.description and node.description != node.name:
                extra.append("desc=%r" % node.description)
            text = node.text
            if text != node.name and text:
                extra.append("text=%r" % text)
            flags = [s for s in ("showing", "enabled", "focused", "checked")
                     if node.has_state(s)]
            lines.append("%s%s %r %s %s %s" % ("  " * depth, node.role, node.name,
                                                node.rect, ",".join(flags), " ".join(extra)))
            for child in node.children():
                visit(child, depth + 1)
        visit(self, 0)
        return "\n".join(lines)

    def __repr__(self):
        return "<%s %r at %s>" % (self.role, self.name, self.rect)


def applications():
    """The applications on the accessibility bus as Nodes."""
    Atspi = _atspi()
    root = Atspi.get_desktop(0)
    apps = []
    for i in range(root.get_child_count()):
        try:
            app = root.get_child_at_index(i)
        except Exception:
            continue
        if app is not None:
            apps.append(Node(app))
    return apps


def _no_cache(app):
    """Read names and states live from the program, not from a cache that is
    only refreshed when this process handles events."""
    Atspi = _atspi()
    try:
        app.acc.set_cache_mask(Atspi.Cache.NONE)
    except Exception:
        pass
    try:
        app.acc.clear_cache()
    except Exception:
        pass
