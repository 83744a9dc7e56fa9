"""Finding nodes of the program's window by role and name, with polling
and error messages that list what was there; cards and what is inside them."""

from .atspi_nodes import _describe_wanted, _name_matches, _role_key
from .common import HarnessError, _tail, poll


class Lookups:
    """Lookups for a class that has ``window``, ``program`` and the cache
    ``_cards`` (see Session)."""

    def find_all(self, role=None, name=None, showing=None, where=None):
        return self.window.find_all(role, name, showing, where)

    def find(self, role=None, name=None, showing=None, where=None):
        """Exactly one node now, or HarnessError listing what there is."""
        found = self.find_all(role, name, showing, where)
        if len(found) == 1:
            return found[0]
        raise HarnessError(self._lookup_report(role, name, found))

    def wait_for(self, role=None, name=None, timeout=20, showing=True, where=None,
                 index=None):
        """Wait until a node with the role and name (and, by default, shown on
        screen) exists and return it. More than one match is an error unless
        index picks one (0 = first in tree order)."""
        result = {}

        def attempt():
            if not self.program.running():
                raise HarnessError("the program is no longer running; log:\n"
                                   + _tail(self.program.log_path))
            found = self.find_all(role, name, showing, where)
            result["found"] = found
            if index is not None:
                return found[index] if len(found) > index else None
            if len(found) == 1:
                return found[0]
            return None

        return poll(attempt, timeout, interval=0.2, message=lambda: "after %ss: %s" % (
            timeout, self._lookup_report(role, name, result.get("found", []), showing)))

    # Roles a clickable control may have on the bus, best first. A control
    # drawn without an accessible role of its own shows only its text (label).
    BUTTON_ROLES = ("push button", "toggle button", "check box", "radio button",
                    "page tab", "menu item", "list item", "label", "static", "text")

    def find_buttons(self, name, showing=True):
        """Shown nodes named name that can be clicked, best role first."""
        found = self.find_all(None, name, showing)
        ranked = [(self.BUTTON_ROLES.index(_role_key(n.role)), i, n)
                  for i, n in enumerate(found) if _role_key(n.role) in self.BUTTON_ROLES]
        return [n for _, _, n in sorted(ranked, key=lambda t: (t[0], t[1]))]

    def wait_for_button(self, name, timeout=20):
        """A shown button (or, for controls without a role of their own, the
        label on it) named name; name may be alternatives, e.g.
        ("连接", "Connect")."""
        def attempt():
            if not self.program.running():
                raise HarnessError("the program is no longer running; log:\n"
                                   + _tail(self.program.log_path))
            found = self.find_buttons(name)
            return found[0] if found else None
        return poll(attempt, timeout, interval=0.2, message=lambda: "after %ss: %s" % (
            timeout, self._lookup_report("push button", name, [], True)))

    # Roles whose text differs from their name (an input's name is its title).
    TEXT_ROLES = ("text", "password text", "entry", "paragraph", "editbar")

    def wait_for_text(self, wanted, timeout=20):
        """A shown node whose name (or, for an input, whose text) matches
        wanted (a plain string here means "contains")."""
        if isinstance(wanted, str):
            needle = wanted
            wanted = lambda text: text is not None and needle in text  # noqa: E731

        def attempt():
            for node in self.window.walk():
                if not (_name_matches(wanted, node.name)
                        or (_role_key(node.role) in self.TEXT_ROLES
                            and _name_matches(wanted, node.text))):
                    continue
                if node.showing:
                    return node
            return None
        return poll(attempt, timeout, interval=0.25, message=lambda: "no shown text %s after "
                    "%ss; texts: %s" % (_describe_wanted(None, wanted), timeout,
                                        self.window.all_texts()[:200]))

    def wait_gone(self, role=None, name=None, timeout=20, showing=True):
        """Wait until no shown node has the role and name."""
        poll(lambda: not self.find_all(role, name, showing), timeout, interval=0.2,
             message=lambda: "still there after %ss: %s" % (
                 timeout, self.find_all(role, name, showing)))

    def wait_for_name(self, node, wanted, timeout=20):
        """Wait until node's name matches wanted (string, regex, callable, alternatives)."""
        return poll(lambda: _name_matches(wanted, node.name), timeout, interval=0.1,
                    message=lambda: "%r: name is %r, expected %s" % (
                        node, node.name, _describe_wanted(None, wanted)))

    def _lookup_report(self, role, name, found, showing=None):
        lines = ["wanted %s%s: %d match%s" % (
            _describe_wanted(role, name), " (showing)" if showing else "",
            len(found), "" if len(found) == 1 else "es")]
        for node in found[:20]:
            lines.append("  match: %r" % node)
        lines.append("nodes in the window (role 'name'):")
        role_key = _role_key(role) if role is not None else None
        same_role, others = [], []
        for node in self.window.walk():
            entry = "  %s %r%s" % (node.role, node.name, "" if node.showing else " (hidden)")
            (same_role if role_key and _role_key(node.role) == role_key else others).append(entry)
        lines += same_role + others[:150]
        if len(others) > 150:
            lines.append("  ... %d more" % (len(others) - 150))
        return "\n".join(lines)

    def snapshot(self, descriptions=("label",)):
        """One walk over the window: (role, name, showing, description) of
        every node, the description read only for the roles given. Cheaper
        than many lookups when a test checks many texts at once."""
        wanted = {_role_key(r) for r in descriptions}
        rows = []
        for node in self.window.walk():
            role = _role_key(node.role)
            rows.append((role, node.name, node.showing,
                         node.description if role in wanted else ""))
        return rows

    def texts(self, role=None, showing=True):
        """The names of the shown nodes (optionally of one role), in tree order."""
        return [n.name for n in self.find_all(role, None, showing) if n.name]

    # --- cards and what is inside them ---

    CARD_ROLES = ("panel", "grouping", "chart")

    def wait_in(self, container, role=None, name=None, timeout=20, showing=True, where=None,
                index=None):
        """Like wait_for, among the descendants of container (a Node)."""
        result = {}

        def attempt():
            if not self.program.running():
                raise HarnessError("the program is no longer running; log:\n"
                                   + _tail(self.program.log_path))
            found = [n for n in container.find_all(role, name, showing, where)
                     if n.acc != container.acc]
            result["found"] = found
            if index is not None:
                return found[index] if len(found) > index else None
            return found[0] if len(found) == 1 else None

        def explain():
            lines = ["after %ss: wanted %s%s inside %r: %d matches" % (
                timeout, _describe_wanted(role, name), " (showing)" if showing else "",
                container, len(result.get("found", [])))]
            lines += ["  match: %r" % n for n in result.get("found", [])[:20]]
            lines.append("inside it:")
            lines += ["  %s %r%s" % (n.role, n.name, "" if n.showing else " (hidden)")
                      for n in container.walk(limit=400)]
            return "\n".join(lines)
        return poll(attempt, timeout, interval=0.2, message=explain)

    def card(self, title, timeout=20):
        """The shown card (a titled panel or chart) called title (alternatives
        allowed). Cards lie near the top of the tree: the search goes level by
        level and stops at the first match; found cards are remembered."""
        key = repr(title)
        cached = self._cards.get(key)
        if cached is not None and cached.showing and _name_matches(title, cached.name):
            return cached

        def attempt():
            if not self.program.running():
                raise HarnessError("the program is no longer running; log:\n"
                                   + _tail(self.program.log_path))
            return self.find_card(title)
        node = poll(attempt, timeout, interval=0.2, message=lambda: "after %ss: %s" % (
            timeout, self._lookup_report("panel", title, [], True)))
        self._cards[key] = node
        return node

    def find_card(self, title, depth=4):
        """The shown card called title now, or None (no waiting)."""
        level = [self.window]
        for _ in range(depth):
            below = []
            for node in level:
                for child in node.children():
                    if (_role_key(child.role) in self.CARD_ROLES
                            and _name_matches(title, child.name) and child.showing):
                        return child
                    below.append(child)
            level = below
        return None

    def button_in(self, container, name, timeout=20):
        """The shown button named name inside container."""
        return self.wait_in(container, "push button", name, timeout)

    def wait_for_description(self, node, wanted, timeout=20):
        """Wait until node's description matches wanted; returns it."""
        poll(lambda: _name_matches(wanted, node.description), timeout, interval=0.1,
             message=lambda: "%r: description is %r, expected %s" % (
                 node, node.description, _describe_wanted(None, wanted)))
        return node.description
