#!/usr/bin/env bash
# The Wine prefix of a Windows build's tests, kept inside the build folder so
# that no test depends on a prefix others change.
#   wine-prefix.sh start PREFIX [COM5_LINK]
#       makes the prefix once (about 10 s), maps COM5 to COM5_LINK (a path
#       where tests make the simulator's link) and starts the prefix's server,
#       which stays while the tests run
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
    link=${3:-}
    mkdir -p "$WINEPREFIX"
    quietly "$server" -p &
    quietly "$wine" wineboot
    # The mount manager maps the ports it finds in the registry when it starts.
    if [[ -n "$link" && "$(readlink "$WINEPREFIX/dosdevices/com5" || true)" != "$link" ]]; then
      mkdir -p "$(dirname "$link")"
      quietly "$wine" reg add 'HKLM\Software\Wine\Ports' /v COM5 /d "$link" /f
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
    echo "usage: $0 start|stop PREFIX [COM5_LINK]" >&2
    exit 2
    ;;
esac
