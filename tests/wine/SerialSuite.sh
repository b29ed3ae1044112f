#!/usr/bin/env bash
# The serial suite as a Windows program under Wine: COM5 (the port under
# test) and COM6 (the test's far end) are joined by socat outside Wine.
# Usage: SerialSuite.sh SERIAL_TESTS_EXE MODEM_LINES_LIBRARY PORTS_DIR [gtest options]
# (WINEPREFIX set, its server running, COM5 and COM6 mapped to PORTS_DIR/com5, com6).
set -uo pipefail
exe=$1 modem_lines=$2 ports=$3
shift 3
rm -f "$ports/com5" "$ports/com6"
socat pty,raw,echo=0,link="$ports/com5" pty,raw,echo=0,link="$ports/com6" 2>/dev/null &
relay=$!
trap 'kill $relay 2>/dev/null; wait 2>/dev/null' EXIT
for _ in $(seq 100); do [[ -e "$ports/com5" && -e "$ports/com6" ]] && break; sleep 0.05; done
LD_PRELOAD=$modem_lines /usr/lib/wine/wine64 "$exe" "$@"
