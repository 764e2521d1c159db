#!/usr/bin/env python3
# SPDX-License-Identifier: MIT
"""The built calculator as a screen reader sees it over AT-SPI: names, descriptions, label
relations and the decorative banner, the focus once round the window with real Tab presses,
the about box opened and closed with the logo's "click" action, and the calendar's name in German
and Japanese.  usage: PROGRAM XWIN"""
import contextlib
import os
import subprocess
import sys
import time
import warnings

import gi

gi.require_version("Atspi", "2.0")
from gi.repository import Atspi  # noqa: E402

TIMEOUT = 60.0  # seconds; generous for the sanitizer build
R = Atspi.Role
failures = []


def check(condition, message):
    if not condition:
        failures.append(message)
        print("FAIL:", message, file=sys.stderr)
    return condition


def poll(condition, what, timeout=TIMEOUT):
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


def children(node):
    return [c for c in (node.get_child_at_index(i) for i in range(node.get_child_count())) if c is not None]


def walk(node):
    return [node] + [n for child in children(node) for n in walk(child)]


def name(node):
    return node.get_name() or ""


def targets(node, relation_type):
    return [relation.get_target(i) for relation in node.get_relation_set() or []
            if relation.get_relation_type() == relation_type for i in range(relation.get_n_targets())]


def near(node, x, y, slack=12):
    """Top-left corner within slack pixels of (x, y) relative to the window."""
    point = node.get_position(Atspi.CoordType.WINDOW)
    return abs(point.x - x) <= slack and abs(point.y - y) <= slack


# Each label and where the field it names starts (window table positions).
LABELLED = (("Year", R.TEXT, 40, 70), ("Month", R.COMBO_BOX, 180, 70), ("Day", R.COMBO_BOX, 320, 70),
            ("days after", R.TEXT, 30, 160), ("days before", R.TEXT, 30, 220))
# Key, role, name, description (None: not checked) and position of the named objects.
NAMED = (("after", R.TEXT, "Date N days after", None, 260, 160),
         ("before", R.TEXT, "Date N days before", None, 260, 220),
         ("push after", R.PUSH_BUTTON, "push", "Compute the date N days after", 430, 160),
         ("push before", R.PUSH_BUTTON, "push", "Compute the date N days before", 430, 220),
         ("calendar", R.CALENDAR, "Today", None, 560, 10),
         ("logo", R.ICON, "About", "Show the maker's address", 660, 310))

def check_window(nodes):
    """Names, descriptions, relations and the banner; returns the nodes by their keys."""
    found = {}
    for label_name, kind, x, y in LABELLED:
        labels = [n for n in nodes if n.get_role() == R.LABEL and name(n) == label_name]
        linked = targets(labels[0], Atspi.RelationType.LABEL_FOR) if len(labels) == 1 else []
        # A chooser's entry, where the keyboard goes, is labelled too, and points back.
        expected = [kind] + ([R.TEXT] if kind == R.COMBO_BOX else [])
        if check(sorted(t.get_role() for t in linked) == sorted(expected), "%r labels %s" % (label_name, linked)):
            field = next(t for t in linked if t.get_role() == kind)
            check(near(field, x, y), "%r does not label the object at %d,%d" % (label_name, x, y))
            check(all(labels[0] in targets(t, Atspi.RelationType.LABELLED_BY) and t in walk(field) for t in linked),
                  "the objects %r labels do not point back or lie outside its field" % label_name)
            found[label_name] = linked[-1] if len(linked) == 1 else next(t for t in linked if t is not field)
    check(len([n for n in nodes if n.get_role() == R.PUSH_BUTTON]) == 2, "expected two buttons")
    # The banner is no picture for a screen reader: the logo is the only one.
    check(len([n for n in nodes if n.get_role() in (R.ICON, R.IMAGE)]) == 1, "expected one picture")
    for key, kind, wanted, description, x, y in NAMED:
        matches = [n for n in nodes if n.get_role() == kind and name(n) == wanted and
                   description in (None, n.get_description())]
        if check(len(matches) == 1 and near(matches[0], x, y),
                 "no one %s %r at %d,%d" % (kind.value_nick, wanted, x, y)):
            found[key] = matches[0]
    with warnings.catch_warnings():  # get_action_name's newer name clashes with the accessible's own get_name
        warnings.simplefilter("ignore", DeprecationWarning)
        check("logo" in found and "Action" in found["logo"].get_interfaces() and
              Atspi.Action.get_action_name(found["logo"], 0) == "click", "the logo offers no click action")
    decorations = [n for n in nodes if n.get_role() == R.REDUNDANT_OBJECT]
    check(len(decorations) >= 2 and all(near(d, 30, 310, 6) and name(d) == "" for d in decorations),
          "the banner is not marked as a nameless decoration")
    return found


# The controls Tab visits, in order, by their keys in check_window's result.
TAB_ORDER = ("Year", "Month", "Day", "calendar", "days after", "after", "push after", "days before", "before",
             "push before", "logo")


def focus_on(found):
    for key in TAB_ORDER:
        found[key].clear_cache()  # ask the program: no event loop here keeps cached states current
    return next((key for key in TAB_ORDER if found[key].get_state_set().contains(Atspi.StateType.FOCUSED)), None)


def walk_tab_order(found, window_id):
    """The focus at start-up in the days-after count, then once round the window with Tab."""
    subprocess.run(["xdotool", "windowfocus", "--sync", window_id], check=True)
    start = TAB_ORDER.index("days after")
    for step in range(len(TAB_ORDER) + 1):
        if step:
            subprocess.run(["xdotool", "key", "Tab"], check=True)
        where = TAB_ORDER[(start + step) % len(TAB_ORDER)]
        poll(lambda: focus_on(found) == where, "the focus on %r after %d Tabs" % (where, step), 10)


def click_logo(frame, logo):
    """The logo's "click" action opens the about box, which its own button closes."""
    app = frame.get_parent()
    about = lambda: next((b for b in children(app) if name(b) == "合同会社Zephra Corporation"), None)  # noqa: E731
    Atspi.Action.do_action(logo, 0)
    buttons = [n for n in walk(poll(about, "the about box")) if n.get_role() == R.PUSH_BUTTON]
    if check(len(buttons) == 1, "the about box has %d buttons" % len(buttons)):
        Atspi.Action.do_action(buttons[0], 0)
        poll(lambda: about() is None, "the about box to close")


# The calendar's name in each language, from the program started under that locale.
TRANSLATED = (("de_DE.UTF-8", "Heute"), ("ja_JP.UTF-8", "今日"))


@contextlib.contextmanager
def running(program, xwin, language=None):
    """The program on the display and its window on the bus; closed afterwards, exit status 0."""
    app = subprocess.Popen([program], env=dict(os.environ, LANG=language) if language else None)
    try:
        window_id = subprocess.run([xwin, "wait", "ZoriviVudiDider", str(int(TIMEOUT * 1000))], check=True,
                                   capture_output=True, text=True).stdout.strip()
        yield window_id, poll(lambda: next((f for a in children(Atspi.get_desktop(0)) if a.get_process_id() == app.pid
                                            for f in children(a) if name(f) == "ZoriviVudiDider"), None),
                              "the window on the accessibility bus")
        subprocess.run([xwin, "close", window_id], check=True)
        check(app.wait(timeout=TIMEOUT) == 0, "exit status %d" % app.returncode)
    finally:
        if app.poll() is None:
            app.kill()
            app.wait()


def main():
    program, xwin = sys.argv[1], sys.argv[2]
    Atspi.init()
    with running(program, xwin) as (window_id, frame):
        def complete():
            # The window is complete once the last gadget built, the "Year" label, is there.
            nodes = walk(frame)
            return nodes if any(name(n) == "Year" and n.get_role() == R.LABEL for n in nodes) else None

        nodes = poll(complete, "the gadgets on the accessibility bus")
        found = check_window(nodes)
        if check(len(found) == 11, "cannot drive the calculator: found only %s" % sorted(found)):
            walk_tab_order(found, window_id)
            click_logo(frame, found["logo"])
    for language, wanted in TRANSLATED:
        with running(program, xwin, language) as (_, frame):
            poll(lambda: any(n.get_role() == R.CALENDAR and name(n) == wanted for n in walk(frame)), repr(wanted))
    print("%d checks failed" % len(failures) if failures else "ok", file=sys.stderr)
    return 1 if failures else 0


if __name__ == "__main__":
    sys.exit(main())
