#!/usr/bin/env python3
"""The built calculator seen through AT-SPI, as a screen reader sees it.

Starts the program, finds its window on the accessibility bus, checks the names,
descriptions, label relations and the decorative banner, then computes one date
after and one date before with nothing but AT-SPI calls (editable texts and the
buttons' actions), reads the results back and closes the window.

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
    result = []
    for relation in node.get_relation_set() or []:
        if relation.get_relation_type() == relation_type:
            result += [relation.get_target(i) for i in range(relation.get_n_targets())]
    return result


def position(node):
    """Top-left corner relative to the window, in pixels."""
    point = node.get_position(Atspi.CoordType.WINDOW)
    return point.x, point.y


def near(node, x, y, slack=12):
    px, py = position(node)
    return abs(px - x) <= slack and abs(py - y) <= slack


def has(node, interface):
    return interface in node.get_interfaces()


def text_of(node):
    if not has(node, "Text"):
        return None
    return Atspi.Text.get_text(node, 0, Atspi.Text.get_character_count(node))


def find_window(pid):
    desktop = Atspi.get_desktop(0)
    for i in range(desktop.get_child_count()):
        app = desktop.get_child_at_index(i)
        if app is None or app.get_process_id() != pid:
            continue
        for j in range(app.get_child_count()):
            frame = app.get_child_at_index(j)
            if frame is not None and name(frame) == TITLE:
                return frame
    return None


def one(nodes, what):
    check(len(nodes) == 1, "expected one %s, found %d" % (what, len(nodes)))
    return nodes[0] if nodes else None


def check_window(nodes):
    """Names, descriptions, relations and the banner; returns the nodes the drive needs."""
    labels = {n: one([x for x in nodes if role(x) == Atspi.Role.LABEL and name(x) == n], "label " + n)
              for n in ("Year", "Month", "Day", "days after", "days before")}
    # Each label names the field under it or beside it (window table positions).
    fields = {}
    for label_name, kind, x, y in (("Year", Atspi.Role.TEXT, 40, 70), ("Month", Atspi.Role.COMBO_BOX, 180, 70),
                                   ("Day", Atspi.Role.COMBO_BOX, 320, 70), ("days after", Atspi.Role.TEXT, 30, 160),
                                   ("days before", Atspi.Role.TEXT, 30, 220)):
        label = labels[label_name]
        if label is None:
            continue
        linked = targets(label, Atspi.RelationType.LABEL_FOR)
        expected = 2 if kind == Atspi.Role.COMBO_BOX else 1
        check(len(linked) == expected, "%r labels %d objects, not %d" % (label_name, len(linked), expected))
        main = [t for t in linked if role(t) == kind]
        if not check(len(main) == 1, "%r labels %d %s objects" % (label_name, len(main), kind.value_nick)):
            continue
        field = main[0]
        check(near(field, x, y), "%r labels the object at %s, not at %d,%d" % (label_name, position(field), x, y))
        check(label in targets(field, Atspi.RelationType.LABELLED_BY),
              "the field of %r does not point back to its label" % label_name)
        if kind == Atspi.Role.COMBO_BOX:
            # The keyboard goes to the chooser's entry: it is labelled too.
            entries = [t for t in linked if role(t) == Atspi.Role.TEXT]
            if check(len(entries) == 1 and entries[0] in walk(field, []),
                     "%r does not label the entry of its chooser" % label_name):
                check(label in targets(entries[0], Atspi.RelationType.LABELLED_BY),
                      "the entry of %r does not point back to its label" % label_name)
                field = entries[0]
        fields[label_name] = field

    texts = [n for n in nodes if role(n) == Atspi.Role.TEXT]
    results = {}
    for result_name, x, y in (("Date N days after", 260, 160), ("Date N days before", 260, 220)):
        node = one([n for n in texts if name(n) == result_name], "field named " + result_name)
        if node is not None:
            check(near(node, x, y), "%r is at %s, not at %d,%d" % (result_name, position(node), x, y))
            results[result_name] = node

    buttons = [n for n in nodes if role(n) == Atspi.Role.PUSH_BUTTON]
    check(len(buttons) == 2, "expected two buttons, found %d" % len(buttons))
    pushes = {}
    for text, x, y in (("Compute the date N days after", 430, 160), ("Compute the date N days before", 430, 220)):
        node = one([b for b in buttons if description(b) == text], "button described " + text)
        if node is not None:
            check(name(node) == "push", "the button %r is named %r" % (text, name(node)))
            check(near(node, x, y), "the button %r is at %s" % (text, position(node)))
            pushes[text] = node

    calendar = one([n for n in nodes if role(n) == Atspi.Role.CALENDAR], "calendar")
    if calendar is not None:
        check(name(calendar) == "Today", "the calendar is named %r" % name(calendar))

    pictures = [n for n in nodes if role(n) in (Atspi.Role.ICON, Atspi.Role.IMAGE)]
    logo = one(pictures, "picture")  # the banner is no picture for a screen reader
    if logo is not None:
        check(name(logo) == "About", "the logo is named %r" % name(logo))
        check(description(logo) == "Show the maker's address", "the logo is described %r" % description(logo))
        check(near(logo, 660, 310, 6), "the logo is at %s" % (position(logo),))
    decorations = [n for n in nodes if role(n) == Atspi.Role.REDUNDANT_OBJECT]
    check(len(decorations) >= 2 and all(near(d, 30, 310, 6) for d in decorations),
          "the banner is not marked as decoration: %s" % [position(d) for d in decorations])
    check(all(name(d) == "" for d in decorations), "the banner has a name")
    return fields, results, pushes


def set_text(node, text):
    if not check(has(node, "EditableText"), "%s is not editable" % name(node)):
        return
    Atspi.EditableText.set_text_contents(node, text)
    poll(lambda: text_of(node) == text, "the text %r to arrive" % text, 10)


def press(button):
    if not check(has(button, "Action") and Atspi.Action.get_n_actions(button) >= 1, "the button has no action"):
        return
    with warnings.catch_warnings():
        # Its newer name would clash with the accessible's own get_name in Python.
        warnings.simplefilter("ignore", DeprecationWarning)
        action = Atspi.Action.get_action_name(button, 0)
    check(action == "click", "the button's action is %r" % action)
    Atspi.Action.do_action(button, 0)


def drive(fields, results, pushes):
    if not check(len(fields) == 5 and len(results) == 2 and len(pushes) == 2, "cannot drive the calculator"):
        return
    set_text(fields["Year"], "2024")
    set_text(fields["Month"], "1")
    set_text(fields["Day"], "31")
    set_text(fields["days after"], "29")
    set_text(fields["days before"], "1")
    press(pushes["Compute the date N days after"])
    after = results["Date N days after"]
    poll(lambda: text_of(after) == "2024/02/29", "the days-after result, last read %r" % text_of(after), 20)
    press(pushes["Compute the date N days before"])
    before = results["Date N days before"]
    poll(lambda: text_of(before) == "2024/01/30", "the days-before result, last read %r" % text_of(before), 20)


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
        fields, results, pushes = check_window(nodes)
        drive(fields, results, pushes)

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
    print("ok: names, descriptions, labels and decoration seen over AT-SPI; 2024/01/31 + 29 = 2024/02/29, "
          "- 1 = 2024/01/30; exit status 0")
    return 0


if __name__ == "__main__":
    sys.exit(main())
