#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a built calculator as its own process on the test display, waits for its window,
# checks what it draws, presses both buttons, asks it to close with WM_DELETE_WINDOW and
# expects exit status 0; then runs it twice more and closes it with Ctrl+W and with Ctrl+Q.
# usage: process_test.sh PROGRAM XWIN pictures|no-pictures [PROGRAM ARGUMENTS...]
set -u
program=$1 xwin=$2 pictures=$3
shift 3
timeout_ms=30000
fail() { echo "FAIL: $*" >&2; kill "$pid" 2>/dev/null; exit 1; }

"$program" "$@" &
pid=$!
id=$("$xwin" wait ZoriviVudiDider $timeout_ms) || fail "no window titled ZoriviVudiDider appeared"
"$xwin" wait-pixel "$id" 5 5 bcd8d7 $timeout_ms || fail "the window background was never drawn"
# The day chooser shows the calendar's day, copied in after every gadget was made.
"$xwin" wait-ink "$id" 322 72 50 26 $timeout_ms || fail "the day chooser never showed the day"
# The banner and the logo: pictures, or empty framed areas showing the background.
want=bcd8d7
[ "$pictures" = pictures ] && want='!bcd8d7'
for spot in "330 335" "710 334"; do
  "$xwin" wait-pixel "$id" $spot $want $timeout_ms || fail "expected $want at $spot, found $("$xwin" pixel "$id" $spot)"
done
# Both buttons with empty counts write the start date into their result fields.
for y in 160 220; do
  xdotool mousemove --window "$id" 480 $((y + 20)) click 1 || fail "xdotool could not click"
  "$xwin" wait-ink "$id" 265 $((y + 5)) 100 25 $timeout_ms || fail "the push button at y $y wrote no date"
done

ends() {  # the program must end by itself, within 30 s, with status 0
  for i in $(seq 3000); do kill -0 "$pid" 2>/dev/null && sleep 0.01 || break; done
  kill -0 "$pid" 2>/dev/null && fail "the program did not end after $1"
  wait "$pid" || fail "exit status $? after $1"
}
"$xwin" close "$id" || fail "could not send WM_DELETE_WINDOW"
ends WM_DELETE_WINDOW
for keys in ctrl+w ctrl+q; do
  "$program" "$@" & pid=$!
  id=$("$xwin" wait ZoriviVudiDider $timeout_ms) || fail "no window appeared for $keys"
  xdotool windowfocus --sync "$id" key --clearmodifiers "$keys" || fail "xdotool could not press $keys"
  ends "$keys"
done
echo "ok: window shown, both buttons pressed, closed by the window manager, Ctrl+W and Ctrl+Q with exit status 0"
