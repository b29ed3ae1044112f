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
case "$1" in
  start)
    ports=${3:-}
    mkdir -p "$WINEPREFIX"
    quietly "$server" -p &
    quietly "$wine" wineboot
    # The mount manager maps the ports it finds in the registry when it starts.
    if [[ -n "$ports" && "$(readlink "$WINEPREFIX/dosdevices/com6" || true)" != "$ports/com6" ]]; then
      mkdir -p "$ports"
      for port in COM5 COM6; do
        quietly "$wine" reg add 'HKLM\Software\Wine\Ports' /v $port /d "$ports/${port,,}" /f
      done
      quietly "$server" -k || true
      quietly "$server" -w || true
      quietly "$server" -p &
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
