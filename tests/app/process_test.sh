#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs a built calculator as its own process on the test display, waits for its window,
# checks what it draws, presses both buttons, asks it to close with WM_DELETE_WINDOW and
# expects exit status 0; then runs it twice more and closes it with Ctrl+W and with Ctrl+Q.
# With command-line instead, it checks the table below without a display.
# usage: process_test.sh PROGRAM XWIN pictures|no-pictures|command-line [PROGRAM ARGUMENTS...]
set -u
program=$1 xwin=$2 pictures=$3
shift 3
timeout_ms=30000
pid=
fail() { echo "FAIL: $*" >&2; [ -n "$pid" ] && kill "$pid" 2>/dev/null; exit 1; }
app_id=org.example.ZoriviVudiDider

if [ "$pictures" = command-line ]; then
  # exit status and the row's environment | argument | the whole output, its lines joined
  while IFS='|' read -r status argument pattern; do
    set -- $status && status=$1 && shift
    out=$(env -u DISPLAY -u WAYLAND_DISPLAY "$@" "$program" "$argument" 2>&1; echo "=> $?")
    echo "$out" | tr '\n' ' ' | grep -Eq "^($pattern) => $status \$" || fail "$argument: $out"
  done <<'ROWS'
0|--version|ZoriviVudiDider [0-9]+\.[0-9]+\.[0-9]+
0|--help|Usage: +zorivivudidider .*--class=CLASS.*--version .*
0 LANG=de_DE.UTF-8|--help|Aufruf:.*Das Datum berechnen, .*Optionen des Programms und des Toolkits anzeigen.*
1|--frobnicate|zorivivudidider: Unknown option --frobnicate Run 'zorivivudidider --help' .*
ROWS
  echo "ok: --version, --help and an unknown option answered without a display"
  exit 0
fi

"$program" "$@" &
pid=$!
id=$("$xwin" wait ZoriviVudiDider $timeout_ms) || fail "no window titled ZoriviVudiDider appeared"
# The window names the desktop entry as its name and class.
xprop -id "$id" WM_CLASS | grep -q "= \"$app_id\", \"$app_id\"$" || fail "WM_CLASS: $(xprop -id "$id" WM_CLASS)"
"$xwin" wait-pixel "$id" 5 5 bcd8d7 $timeout_ms || fail "the window background was never drawn"
# The day chooser shows the calendar's day, copied in after every gadget was made.
"$xwin" wait-ink "$id" 322 72 50 26 $timeout_ms || fail "the day chooser never showed the day"
# Once the first frame is drawn, the window gains its icon when the icon lies beside the pictures.
tries=0
while [ "$pictures" = pictures ] && ! xprop -id "$id" _NET_WM_ICON | grep -q "Icon ("; do
  tries=$((tries + 1)); [ $tries -le 100 ] || fail "no _NET_WM_ICON"; sleep 0.1
done
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
