#!/usr/bin/python3
"""Reads the running program's accessibility tree through AT-SPI, from outside, as a screen
reader does. Opens each dialog and the history window through their menu items, counts per
window the interactive controls, those without a name, the fields, and the fields with
neither a labelled-by relation nor a name, prints a table and closes each window again.
Exits 1 when any interactive control is unnamed or any field unlabelled."""
import re
import sys
import time

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi, GLib  # noqa: E402

R = Atspi.Role
INTERACTIVE = {R.PUSH_BUTTON, R.TOGGLE_BUTTON, R.CHECK_BOX, R.RADIO_BUTTON, R.COMBO_BOX, R.TEXT,
               R.ENTRY, R.PASSWORD_TEXT, R.LIST, R.LIST_BOX, R.PROGRESS_BAR, R.MENU_ITEM,
               R.CHECK_MENU_ITEM, R.RADIO_MENU_ITEM, R.SPIN_BUTTON, R.SLIDER, R.CHART}
FIELDS = {R.TEXT, R.ENTRY, R.COMBO_BOX, R.LIST, R.LIST_BOX}

# window title, the menu item that opens it, the button that closes it without a change
WINDOWS = [("Server Configuration", "Servers", "Cancel"),
           ("Broadcast Timeout", "Listen for a Broadcast", "Cancel"),
           ("Logging & Statistics", "Logging and Statistics...", "Cancel"),
           ("Correction History", "Correction History...", "Close")]


def wait_for(find, seconds=20.0):
    deadline = time.monotonic() + seconds
    while time.monotonic() < deadline:
        found = find()
        if found is not None:
            return found
        time.sleep(0.2)
    return None


def children(node):
    try:
        return [node.get_child_at_index(i) for i in range(node.get_child_count())]
    except GLib.Error:
        return []


def find_app():
    desktop = Atspi.get_desktop(0)
    for app in children(desktop):
        if app is not None and app.get_name() == "Quorvane":
            return app
    return None


def find_window(app, title):
    for window in children(app):
        if window is not None and window.get_name() == title:
            return window
    return None


def find_named(node, role, name, depth=0):
    if node is None or depth > 30:
        return None
    if node.get_role() == role and node.get_name() == name:
        return node
    for child in children(node):
        found = find_named(child, role, name, depth + 1)
        if found is not None:
            return found
    return None


def labelled(node):
    return any(r.get_relation_type() == Atspi.RelationType.LABELLED_BY
               for r in node.get_relation_set())


def count(node, counts, depth=0):
    """Closed menus are read too; a drop-down list's own popup belongs to the list."""
    if node is None or depth > 40:
        return
    role = node.get_role()
    if role in INTERACTIVE:
        counts["controls"] += 1
        name = (node.get_name() or "").strip()
        if not name:
            counts["unnamed"] += 1
        if role in FIELDS:
            counts["fields"] += 1
            if labelled(node):
                counts["labelled"] += 1
            elif not name:
                counts["unlabelled"] += 1
    if role == R.COMBO_BOX:
        return
    for child in children(node):
        count(child, counts, depth + 1)


def spot_names(node, out, depth=0):
    """The names read from outside for the controls named without a label beside them."""
    if node is None or depth > 40:
        return
    role = node.get_role()
    if role in (R.COMBO_BOX, R.PROGRESS_BAR, R.CHART, R.LABEL) and role != R.MENU:
        name = node.get_name() or ""
        if role != R.LABEL or re.match(r"\d\d:\d\d:\d\d ", name):
            out.append(f"{role.value_nick}: {name!r}")
    if role == R.COMBO_BOX:
        return
    for child in children(node):
        spot_names(child, out, depth + 1)


def press(node):
    """Runs a control's first action. A modal window answers only when it closes, so the
    call is left to time out while the window is read."""
    try:
        Atspi.Action.do_action(node, 0)
    except GLib.Error:
        pass


def main():
    Atspi.set_timeout(800, 20000)
    app = wait_for(find_app)
    if app is None:
        print("atspi_names: the program did not appear on the accessibility bus")
        return 2
    main_window = wait_for(lambda: next((w for w in children(app) if w is not None
                                         and w.get_role() == R.FRAME), None))
    rows = []
    counts = dict(controls=0, unnamed=0, fields=0, labelled=0, unlabelled=0)
    count(main_window, counts)
    rows.append(("main window", counts))
    spots = []
    spot_names(main_window, spots)
    for title, item, close in WINDOWS:
        menu_item = find_named(main_window, R.MENU_ITEM, item)
        if menu_item is None:
            print(f"atspi_names: no menu item {item!r}")
            return 2
        press(menu_item)
        window = wait_for(lambda: find_window(app, title))
        if window is None:
            print(f"atspi_names: {title!r} did not open")
            return 2
        counts = dict(controls=0, unnamed=0, fields=0, labelled=0, unlabelled=0)
        count(window, counts)
        rows.append((title, counts))
        spot_names(window, spots)
        press(find_named(window, R.PUSH_BUTTON, close))
        wait_for(lambda: None if find_window(app, title) else True, 10)
    print("| window | interactive controls | without a name | fields | labelled-by | "
          "fields with neither label nor name |")
    print("|---|---|---|---|---|---|")
    for title, c in rows:
        print(f"| {title} | {c['controls']} | {c['unnamed']} | {c['fields']} | "
              f"{c['labelled']} | {c['unlabelled']} |")
    print("\nNames read from outside for controls without a single label beside them:")
    for line in spots:
        print("  " + line)
    bad = sum(c["unnamed"] + c["unlabelled"] for _, c in rows)
    return 1 if bad else 0


if __name__ == "__main__":
    sys.exit(main())
