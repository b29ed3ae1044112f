#!/usr/bin/env bash
# The Wine prefix of a Windows build's tests, kept inside the build folder so
# that no test depends on a prefix others change.
#   wine-prefix.sh start PREFIX   makes the prefix once (about 10 s) and starts
#                                 its server, which stays while tests run
#   wine-prefix.sh stop PREFIX    stops the server
# The server is started here, its output discarded: started by a test, it may
# take the test's pseudo-terminal as its terminal and flood it on hang-up.
set -euo pipefail
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
export WINEPREFIX=$2 WINEDEBUG=-all
case "$1" in
  start)
    mkdir -p "$WINEPREFIX"
    setsid "$server" -p </dev/null >/dev/null 2>&1 &
    # Makes the prefix the first time; starts its services (which stay with
    # the server) with no terminal and no test's output to hold on to.
    setsid "$wine" wineboot </dev/null >/dev/null 2>&1
    ;;
  stop)
    "$server" -k </dev/null >/dev/null 2>&1 || true
    ;;
  *)
    echo "usage: $0 start|stop PREFIX" >&2
    exit 2
    ;;
esac
