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
pid= id=
seen() { xprop -id "$id" WM_NAME WM_CLASS WM_HINTS 2>&1 | tr '\n' ' '; echo "pixel 5 5: $("$xwin" pixel "$id" 5 5)"; }
fail() { echo "FAIL: $*${id:+; window $id: $(seen)}" >&2; [ -n "$pid" ] && kill "$pid" 2>/dev/null; exit 1; }
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
1|--version=3|zorivivudidider: Option --version takes no value Run 'zorivivudidider --help' .*
1||zorivivudidider: no display found; name one with the DISPLAY or WAYLAND_DISPLAY variable or the --display option
ROWS
  echo "ok: the command-line table answered without a display"
  exit 0
fi

eval "$("$(dirname "$0")/../../scripts/window-constants")"  # app_background, app_logo_centre ...
within() {  # polls the condition every 10 ms until it holds, for timeout_ms as every wait here
  tries=0; until eval "$1"; do tries=$((tries + 1)); [ $tries -le $((timeout_ms / 10)) ] || return 1; sleep 0.01; done
}
start() {  # until the window has drawn, ended its start-up (a caret in the count) and has the keyboard
  "$program" "$@" & pid=$!
  id=$("$xwin" wait ZoriviVudiDider $timeout_ms) || fail "no window titled ZoriviVudiDider appeared"
  "$xwin" wait-pixel "$id" 5 5 $app_background $timeout_ms || fail "the background of $app_constants_from never showed"
  "$xwin" wait-ink "$id" $app_after_count_text $timeout_ms || fail "no caret in the days-after count"
  xdotool windowfocus "$id"; within '[ "$(xdotool getwindowfocus 2>&1)" = "$id" ]' || fail "no keyboard focus"
}
start "$@"
# The window names the desktop entry as its name and class.
xprop -id "$id" WM_CLASS | grep -q "= \"$app_id\", \"$app_id\"$" || fail "WM_CLASS: $(xprop -id "$id" WM_CLASS)"
# The day chooser shows the calendar's day, copied in after every gadget was made.
"$xwin" wait-ink "$id" $app_day_chooser_text $timeout_ms || fail "the day chooser never showed the day"
# Once the first frame is drawn, the window gains its icon when the icon lies beside the pictures.
[ "$pictures" != pictures ] || within 'xprop -id "$id" _NET_WM_ICON | grep -q "Icon ("' || fail "no _NET_WM_ICON"
# The banner and the logo: pictures, or empty framed areas showing the background.
[ "$pictures" = pictures ] && want="!$app_background" || want=$app_background
for spot in "$app_banner_centre" "$app_logo_centre"; do
  "$xwin" wait-pixel "$id" $spot $want $timeout_ms || fail "$want not at $spot (places, background: $app_constants_from)"
done
# Both buttons with empty counts write the start date into their result fields.
for row in after before; do eval "centre=\$app_${row}_button_centre area=\$app_${row}_result_text"
  xdotool mousemove --window "$id" $centre click 1 || fail "xdotool could not click"
  "$xwin" wait-ink "$id" $area $timeout_ms || fail "the days-$row button at $centre wrote no date in $area"
done

ends() {  # the program must end by itself with status 0
  within '! kill -0 "$pid" 2>/dev/null' || fail "the program did not end after $1"
  wait "$pid" || fail "exit status $? after $1"
}
"$xwin" close "$id" || fail "could not send WM_DELETE_WINDOW"
ends WM_DELETE_WINDOW
for keys in ctrl+w ctrl+q; do
  start "$@"
  xdotool key --clearmodifiers "$keys" || fail "xdotool could not press $keys"
  ends "$keys"
done
echo "ok: window shown, both buttons pressed, closed by the window manager, Ctrl+W and Ctrl+Q with exit status 0"
