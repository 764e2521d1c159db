#!/bin/sh
# Runs a built calculator as its own process on the test display, waits for its window,
# checks what it draws, asks it to close with WM_DELETE_WINDOW and expects exit status 0.
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

# Gadgets that are there in every run: a field, a chooser, both buttons, the calendar.
for spot in "90 85" "230 85" "370 85" "480 180" "480 240" "660 120"; do
  set -- $spot
  "$xwin" wait-pixel "$id" "$1" "$2" '!bcd8d7' $timeout_ms || fail "nothing drawn at $spot"
done
# The banner and the logo: pictures, or empty framed areas showing the background.
for spot in "330 335" "710 334"; do
  set -- $spot
  if [ "$pictures" = pictures ]; then
    "$xwin" wait-pixel "$id" "$1" "$2" '!bcd8d7' $timeout_ms || fail "no picture at $spot"
  else
    "$xwin" wait-pixel "$id" "$1" "$2" bcd8d7 $timeout_ms ||
      fail "expected an empty area at $spot, found $("$xwin" pixel "$id" "$1" "$2")"
  fi
done

"$xwin" close "$id" || fail "could not send WM_DELETE_WINDOW"
# The program must end by itself; poll for it with a deadline.
i=0
while kill -0 "$pid" 2>/dev/null; do
  i=$((i + 1))
  [ $i -le 3000 ] || fail "the program did not end after WM_DELETE_WINDOW"
  sleep 0.01
done
wait "$pid"
status=$?
[ $status -eq 0 ] || { echo "FAIL: exit status $status" >&2; exit 1; }
echo "ok: window shown and closed, exit status 0"
