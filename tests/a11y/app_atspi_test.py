#!/usr/bin/env python3
"""The built calculator seen through AT-SPI, as a screen reader sees it.

Starts the program, finds its window on the accessibility bus, checks the names,
descriptions, label relations and the decorative banner, follows the keyboard focus
once round the window with Tab, opens and closes the about box with the logo's
"click" action, then computes one date after and one date before with nothing but
AT-SPI calls (editable texts and the buttons' actions), reads the results back and
closes the window.

usage: app_atspi_test.py PROGRAM XWIN
"""
import os
import subprocess
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

TIMEOUT = 60.0  # seconds; generous for the sanitizer build
TITLE = "ZoriviVudiDider"
ABOUT_TITLE = "合同会社Zephra Corporation"
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message, file=sys.stderr)
    return condition


def poll(condition, what, timeout=TIMEOUT):
    """Calls condition() until it returns a true value or the time is up."""
    deadline = time.monotonic() + timeout
    while True:
        try:
            value = condition()
        except gi.repository.GLib.Error:
            value = None
        if value:
            return value
        if time.monotonic() > deadline:
            raise SystemExit("FAIL: timed out waiting for " + what)
        time.sleep(0.05)


def walk(node, found):
    found.append(node)
    for i in range(node.get_child_count()):
        child = node.get_child_at_index(i)
        if child is not None:
            walk(child, found)
    return found


def role(node):
    return node.get_role()


def name(node):
    return node.get_name() or ""


def description(node):
    return node.get_description() or ""


def targets(node, relation_type):
    return [relation.get_target(i) for relation in node.get_relation_set() or []
            if relation.get_relation_type() == relation_type for i in range(relation.get_n_targets())]


def near(node, x, y, slack=12):
    """Top-left corner within slack pixels of (x, y) relative to the window."""
    point = node.get_position(Atspi.CoordType.WINDOW)
    return abs(point.x - x) <= slack and abs(point.y - y) <= slack


def text_of(node):
    if "Text" not in node.get_interfaces():
        return None
    return Atspi.Text.get_text(node, 0, Atspi.Text.get_character_count(node))


def find_window(pid):
    desktop = Atspi.get_desktop(0)
    for app in (desktop.get_child_at_index(i) for i in range(desktop.get_child_count())):
        if app is not None and app.get_process_id() == pid:
            for frame in (app.get_child_at_index(j) for j in range(app.get_child_count())):
                if frame is not None and name(frame) == TITLE:
                    return frame
    return None


def one(nodes, what):
    check(len(nodes) == 1, "expected one %s, found %d" % (what, len(nodes)))
    return nodes[0] if nodes else None


# Each label and the field it names, under it or beside it (window table positions).
LABELLED = (("Year", Atspi.Role.TEXT, 40, 70), ("Month", Atspi.Role.COMBO_BOX, 180, 70),
            ("Day", Atspi.Role.COMBO_BOX, 320, 70), ("days after", Atspi.Role.TEXT, 30, 160),
            ("days before", Atspi.Role.TEXT, 30, 220))
# Role, name, description (None: not checked), position and slack of the named objects.
NAMED = (("after", Atspi.Role.TEXT, "Date N days after", None, 260, 160, 12),
         ("before", Atspi.Role.TEXT, "Date N days before", None, 260, 220, 12),
         ("push after", Atspi.Role.PUSH_BUTTON, "push", "Compute the date N days after", 430, 160, 12),
         ("push before", Atspi.Role.PUSH_BUTTON, "push", "Compute the date N days before", 430, 220, 12),
         ("calendar", Atspi.Role.CALENDAR, "Today", None, None, None, 0),
         ("logo", Atspi.Role.ICON, "About", "Show the maker's address", 660, 310, 6))


def check_window(nodes):
    """Names, descriptions, relations and the banner; returns the nodes the drive needs."""
    found = {}
    for label_name, kind, x, y in LABELLED:
        label = one([n for n in nodes if role(n) == Atspi.Role.LABEL and name(n) == label_name], "label " + label_name)
        if label is None:
            continue
        linked = targets(label, Atspi.RelationType.LABEL_FOR)
        # A chooser's entry, where the keyboard goes, is labelled too.
        expected = [kind] + ([Atspi.Role.TEXT] if kind == Atspi.Role.COMBO_BOX else [])
        if not check(sorted(role(t) for t in linked) == sorted(expected),
                     "%r labels %s, not %s" % (label_name, [role(t).value_nick for t in linked],
                                               [r.value_nick for r in expected])):
            continue
        field = next(t for t in linked if role(t) == kind)
        check(near(field, x, y), "%r does not label the object at %d,%d" % (label_name, x, y))
        for target in linked:
            check(label in targets(target, Atspi.RelationType.LABELLED_BY),
                  "a %s of %r does not point back to its label" % (role(target).value_nick, label_name))
        entry = [t for t in linked if t is not field]
        if entry:
            check(entry[0] in walk(field, []), "%r labels an entry outside its chooser" % label_name)
        found[label_name] = entry[0] if entry else field

    check(len([n for n in nodes if role(n) == Atspi.Role.PUSH_BUTTON]) == 2, "expected two buttons")
    # The banner is no picture for a screen reader: the logo is the only one.
    check(len([n for n in nodes if role(n) in (Atspi.Role.ICON, Atspi.Role.IMAGE)]) == 1, "expected one picture")
    for key, kind, wanted_name, wanted_description, x, y, slack in NAMED:
        node = one([n for n in nodes if role(n) == kind and name(n) == wanted_name and
                    wanted_description in (None, description(n))], "%s named %r" % (kind.value_nick, wanted_name))
        if node is not None:
            check(x is None or near(node, x, y, slack), "%r is not at %d,%d" % (wanted_name, x or 0, y or 0))
            found[key] = node
    decorations = [n for n in nodes if role(n) == Atspi.Role.REDUNDANT_OBJECT]
    check(len(decorations) >= 2 and all(near(d, 30, 310, 6) and name(d) == "" for d in decorations),
          "the banner is not marked as a nameless decoration")
    return found


def set_text(node, text):
    if check("EditableText" in node.get_interfaces(), "%s is not editable" % name(node)):
        Atspi.EditableText.set_text_contents(node, text)
        poll(lambda: text_of(node) == text, "the text %r to arrive" % text, 10)


def press(button):
    if not check("Action" in button.get_interfaces() and Atspi.Action.get_n_actions(button) >= 1,
                 "%r has no action" % name(button)):
        return
    with warnings.catch_warnings():
        # Its newer name would clash with the accessible's own get_name in Python.
        warnings.simplefilter("ignore", DeprecationWarning)
        check(Atspi.Action.get_action_name(button, 0) == "click", "the button's action is not click")
    Atspi.Action.do_action(button, 0)


# The controls Tab visits, in order, by their keys in check_window's result.
TAB_ORDER = ("Year", "Month", "Day", "calendar", "days after", "after", "push after", "days before", "before",
             "push before", "logo")


def focused(node):
    node.clear_cache()  # ask the program: no event loop here keeps cached states current
    return node.get_state_set().contains(Atspi.StateType.FOCUSED)


def walk_tab_order(found, window_id):
    """The focus at start-up, then once round the window with real Tab presses."""
    if not check(all(key in found for key in TAB_ORDER), "cannot follow the focus: found only %s" % sorted(found)):
        return

    def wait_focus(expected, what):
        deadline = time.monotonic() + 10
        while (now := next((key for key in TAB_ORDER if focused(found[key])), None)) != expected:
            if time.monotonic() > deadline:
                return check(False, "%s: the focus is on %r, not %r" % (what, now, expected))
            time.sleep(0.05)
        return True

    subprocess.run(["xdotool", "windowfocus", "--sync", window_id], check=True)
    at = TAB_ORDER.index("days after")
    if not wait_focus(TAB_ORDER[at], "at start-up"):
        return
    for _ in TAB_ORDER:
        subprocess.run(["xdotool", "key", "Tab"], check=True)
        if not wait_focus(TAB_ORDER[(at + 1) % len(TAB_ORDER)], "Tab from %r" % TAB_ORDER[at]):
            return
        at = (at + 1) % len(TAB_ORDER)


def click_logo(frame, logo):
    """The logo's "click" action opens the about box, which its own button closes."""
    press(logo)
    app = frame.get_parent()

    def about_box():
        boxes = [app.get_child_at_index(i) for i in range(app.get_child_count())]
        return next((b for b in boxes if b is not None and name(b) == ABOUT_TITLE), None)

    box = poll(about_box, "the about box")
    buttons = [n for n in walk(box, []) if role(n) == Atspi.Role.PUSH_BUTTON]
    if check(len(buttons) == 1, "the about box has %d buttons" % len(buttons)):
        press(buttons[0])
        poll(lambda: about_box() is None, "the about box to close")


def drive(found):
    if not check(len(found) == 11, "cannot drive the calculator: found only %s" % sorted(found)):
        return
    for field, text in (("Year", "2024"), ("Month", "1"), ("Day", "31"), ("days after", "29"), ("days before", "1")):
        set_text(found[field], text)
    for which, expected in (("after", "2024/02/29"), ("before", "2024/01/30")):
        press(found["push " + which])
        poll(lambda: text_of(found[which]) == expected,
             "the days-%s result, last read %r" % (which, text_of(found[which])), 20)


def main():
    program, xwin = sys.argv[1], sys.argv[2]
    Atspi.init()
    app = subprocess.Popen([program])
    try:
        window_id = subprocess.run([xwin, "wait", TITLE, str(int(TIMEOUT * 1000))], check=True,
                                   capture_output=True, text=True).stdout.strip()
        frame = poll(lambda: find_window(app.pid), "the window on the accessibility bus")

        def complete():
            nodes = walk(frame, [])
            # The window is complete once the last gadget built, the "Year" label, is there.
            return nodes if any(role(n) == Atspi.Role.LABEL and name(n) == "Year" for n in nodes) else None

        nodes = poll(complete, "the gadgets on the accessibility bus")
        found = check_window(nodes)
        walk_tab_order(found, window_id)
        if "logo" in found:
            click_logo(frame, found["logo"])
        drive(found)

        subprocess.run([xwin, "close", window_id], check=True)
        status = app.wait(timeout=TIMEOUT)
        check(status == 0, "exit status %d" % status)
    finally:
        if app.poll() is None:
            app.kill()
            app.wait()
    if failures:
        print("%d checks failed" % len(failures), file=sys.stderr)
        return 1
    print("ok: names, descriptions, labels and decoration seen over AT-SPI; Tab order; the logo's click; "
          "2024/01/31 + 29 = 2024/02/29, - 1 = 2024/01/30; exit status 0")
    return 0


if __name__ == "__main__":
    sys.exit(main())
