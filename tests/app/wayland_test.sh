#!/bin/sh
# The calculator on Wayland: the built program runs on a private headless Weston
# compositor; a screenshot of the compositor's output must show its gadget area 790 x 400,
# with the banner and logo rows pixel for pixel those of the same program on X11, and the
# program writes nothing to stderr but the toolkit's complaints about the headless
# compositor having no input devices. Runs under scripts/with-xvfb, where it takes the X11
# picture first.
# usage: wayland_test.sh BUILD_DIR SHOT_COMPARE [SAVE_SCREENSHOT]
set -u
build=$1 compare=$2 save=${3:-}
scripts=$(cd "$(dirname "$0")/../../scripts" && pwd)

if [ "${ZVD_ON_WAYLAND:-}" != 1 ]; then
  dir=$(mktemp -d)
  trap 'rm -rf "$dir"' EXIT
  GDK_BACKEND=x11 "$scripts/run-app" --screenshot "$build" "$dir/x11.png" >/dev/null ||
    { echo "FAIL: no X11 picture of the window" >&2; exit 1; }
  ZVD_ON_WAYLAND=1 ZVD_DIR=$dir "$scripts/with-weston" "$0" "$@"
  exit $?
fi

dir=$ZVD_DIR
fail() { echo "FAIL: $*" >&2; kill "$pid" 2>/dev/null; exit 1; }
# The headless compositor has no input devices, so the window never has the focus there and
# the theme draws the frames' borders in their unfocused colour; X11 without a window
# manager always counts a window as focused. A user style sheet makes both colours alike.
mkdir -p "$dir/config/gtk-3.0"
echo 'frame > border:backdrop { border-color: @borders; }' >"$dir/config/gtk-3.0/gtk.css"
export XDG_CONFIG_HOME="$dir/config"
"$build/zorivivudidider" 2>"$dir/stderr" &
pid=$!
mkdir "$dir/shots"
# Screenshots until the window shows complete (rows 300 to 375 hold the banner and the
# logo with their frames), for at most 60 s.
deadline=$(($(date +%s) + 60))
while :; do
  rm -f "$dir"/shots/*
  (cd "$dir/shots" && weston-screenshooter >/dev/null 2>&1)
  shot=$(ls "$dir"/shots/*.png 2>/dev/null | head -n 1)
  if [ -n "$shot" ]; then
    status=0
    "$compare" "$shot" "$dir/x11.png" bcd8d7 790 400 300 375 >"$dir/result" || status=$?
    [ $status -eq 0 ] && break
    [ $status -eq 1 ] || fail "zvd-shot-compare failed with status $status"
  fi
  [ "$(date +%s)" -lt $deadline ] && kill -0 "$pid" 2>/dev/null || fail "$(cat "$dir/result" 2>/dev/null)"
  sleep 0.1
done
cat "$dir/result"
[ -z "$save" ] || cp "$shot" "$save"
kill "$pid"
wait "$pid" 2>/dev/null
if grep -v -e "gdk_seat_get_keyboard: assertion 'GDK_IS_SEAT (seat)' failed" -e '^$' "$dir/stderr" >&2; then
  fail "the program wrote the lines above to stderr"
fi
echo "ok: gadget area 790x400 on Wayland, banner and logo as on X11"
