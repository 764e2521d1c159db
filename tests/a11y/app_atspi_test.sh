#!/bin/sh
# Runs the AT-SPI test of the built calculator on a private session bus and a private X
# server. The program must expose its accessibility tree, so the switches that the other
# GUI tests use to keep the toolkit off the accessibility bus are cleared here; the bus
# itself (launcher, private daemon, registry) is started on demand by the session bus.
# usage: app_atspi_test.sh PROGRAM XWIN
set -u
unset NO_AT_BRIDGE GTK_A11Y GTK_MODULES AT_SPI_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS
here=$(cd "$(dirname "$0")" && pwd)
# The system interpreter carries GObject introspection; a python3 earlier in PATH may not.
python=""
for candidate in /usr/bin/python3 python3; do
  if "$candidate" -c 'import gi; gi.require_version("Atspi", "2.0")' 2>/dev/null; then
    python=$candidate
    break
  fi
done
[ -n "$python" ] || { echo "FAIL: no python3 with GObject introspection and Atspi 2.0" >&2; exit 1; }
exec dbus-run-session -- "$here/../../scripts/with-xvfb" "$python" "$here/app_atspi_test.py" "$@"
