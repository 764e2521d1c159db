#!/bin/sh
# SPDX-License-Identifier: MIT
# Runs the AT-SPI test of the built calculator on a private session bus and a private X
# server. The program must expose its accessibility tree, so the switches that the other
# GUI tests use to keep the toolkit off the accessibility bus are cleared here; the bus
# itself (launcher, private daemon, registry) is started on demand by the session bus.
# The system interpreter carries GObject introspection; a python3 earlier in PATH may not.
# usage: app_atspi_test.sh PROGRAM XWIN
unset NO_AT_BRIDGE GTK_A11Y GTK_MODULES AT_SPI_BUS_ADDRESS DBUS_SESSION_BUS_ADDRESS
here=$(cd "$(dirname "$0")" && pwd)
exec dbus-run-session -- "$here/../../scripts/with-xvfb" /usr/bin/python3 "$here/app_atspi_test.py" "$@"
