#!/bin/sh
# SPDX-License-Identifier: MIT
# The built calculator on a private headless Weston: a screenshot of the compositor shows its
# gadget area 790 x 400, the banner and logo rows pixel for pixel as on X11 (taken first, under
# scripts/with-xvfb), and the program writes nothing to stderr but the toolkit's complaints
# about the headless compositor having no input devices.
# usage: wayland_test.sh BUILD_DIR [SAVE_SCREENSHOT]
set -u
build=$1 save=${2:-}
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
eval "$("$scripts/window-constants")"
# Finds the gadget area in SHOT as the first window-wide run of the background colour (its top row
# holds no gadget) and compares its rows 300 to 375 (banner and logo) with the X11 picture.
compare() {
  /usr/bin/python3 - "$1" "$dir/x11.png" "$app_background" "$app_width" "$app_height" <<'END'
import sys, gi
gi.require_version("GdkPixbuf", "2.0")
from gi.repository import GdkPixbuf
def rows(path):
    p = GdkPixbuf.Pixbuf.new_from_file(path).add_alpha(False, 0, 0, 0)
    data, stride = p.get_pixels(), p.get_rowstride()
    return [data[y * stride:y * stride + 4 * p.get_width()] for y in range(p.get_height())]
shot, reference, W, H = rows(sys.argv[1]), rows(sys.argv[2]), int(sys.argv[4]), int(sys.argv[5])
run = bytes.fromhex(sys.argv[3] + "ff") * W
top = next((y for y, row in enumerate(shot) if row.find(run) % 4 == 0), None)
if top is None or len(reference) != H or len(reference[0]) != 4 * W:
    sys.exit("no run of %d pixels %s (app/main_window.h) in the screenshot, or a reference not %d x %d" % (W, sys.argv[3], W, H))
x = shot[top].find(run)
height = next((h for h in range(len(shot) - top) if shot[top + h][x:x + 4] != run[:4]), len(shot) - top)
differing = sum(shot[top + y][x:x + 4 * W] != reference[y] for y in range(300, 376) if top + y < len(shot))
print("gadget area at %d,%d, %d high (want %d); %d of rows 300 to 375 differ from X11" % (x // 4, top, height, H, differing))
wider = shot[top][x + 4 * W:x + 4 * (W + 1)] == run[:4]  # the run goes on past the window's width
sys.exit(0 if height == H and not wider and differing == 0 and top + 376 <= len(shot) else 1)
END
}
fail() { echo "FAIL: $*" >&2; kill "$pid" 2>/dev/null; exit 1; }
# Without input devices the window is never focused on Weston, always on X11 without a window
# manager: a user style sheet gives the frames' borders one colour in both states.
mkdir -p "$dir/config/gtk-3.0"
echo 'frame > border:backdrop { border-color: @borders; }' >"$dir/config/gtk-3.0/gtk.css"
export XDG_CONFIG_HOME="$dir/config"
"$build/zorivivudidider" 2>"$dir/stderr" & pid=$!
mkdir "$dir/shots"
# Screenshots until the window shows complete, for at most 60 s.
deadline=$(($(date +%s) + 60))
while :; do
  rm -f "$dir"/shots/*
  (cd "$dir/shots" && weston-screenshooter >/dev/null 2>&1)
  shot=$(ls "$dir"/shots/*.png 2>/dev/null | head -n 1)
  [ -n "$shot" ] && compare "$shot" >"$dir/result" 2>&1 && break
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
echo "ok: gadget area ${app_width}x$app_height on Wayland, banner and logo as on X11"
