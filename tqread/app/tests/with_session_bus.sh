#!/bin/sh
# Runs a test program on a session bus of its own, so that its "TQFSUPDATE"
# signals reach no one else. Without dbus-run-session the program runs as it is
# and its tests that need a session bus skip.
if command -v dbus-run-session >/dev/null 2>&1; then
  exec dbus-run-session -- "$@"
fi
echo "dbus-run-session not found: the tests that need a session bus are skipped" >&2
exec "$@"
