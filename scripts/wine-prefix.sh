#!/usr/bin/env bash
# The Wine prefix of a Windows build's tests, kept inside the build folder so
# that no test depends on a prefix others change.
#   wine-prefix.sh start PREFIX [PORTS]
#       makes the prefix once (about 10 s), maps COM5 and COM6 to PORTS/com5
#       and PORTS/com6 (where tests make their lines' links) and starts the
#       prefix's server, which stays while the tests run
#   wine-prefix.sh stop PREFIX
#       stops the server
# The server and its services are started here, their output discarded:
# started by a test, they would hold on to its output (or take its
# pseudo-terminal as their terminal and flood it on hang-up).
set -euo pipefail
wine=/usr/lib/wine/wine64
server=/usr/lib/wine/wineserver
export WINEPREFIX=$2 WINEDEBUG=-all
quietly() { setsid "$@" </dev/null >/dev/null 2>&1; }
# The server opens the COM ports' devices for its clients. With
# KALMET_WINE_PRELOAD (the tests' stand-in, tests/wine/PtyModemLines.cpp) it
# opens them without making a pseudo-terminal its controlling terminal, whose
# hang-up (a test's unplugged line) would end it. It returns once it is up.
start_server() {
  quietly env ${KALMET_WINE_PRELOAD:+LD_PRELOAD=$KALMET_WINE_PRELOAD} "$server" -p
}
case "$1" in
  start)
    ports=${3:-}
    mkdir -p "$WINEPREFIX"
    quietly "$server" -k || true  # one of another run, perhaps without the stand-in
    quietly "$server" -w || true
    start_server
    quietly "$wine" wineboot
    # The mount manager maps the ports it finds in the registry when it starts.
    if [[ -n "$ports" && "$(readlink "$WINEPREFIX/dosdevices/com6" || true)" != "$ports/com6" ]]; then
      mkdir -p "$ports"
      for port in COM5 COM6; do
        quietly "$wine" reg add 'HKLM\Software\Wine\Ports' /v $port /d "$ports/${port,,}" /f
      done
      quietly "$server" -k || true
      quietly "$server" -w || true
      start_server
      quietly "$wine" wineboot
    fi
    ;;
  stop)
    quietly "$server" -k || true
    ;;
  *)
    echo "usage: $0 start|stop PREFIX [PORTS]" >&2
    exit 2
    ;;
esac
