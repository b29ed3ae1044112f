#!/usr/bin/env bash
# kalmet-cli.exe under Wine against the probe simulator, on COM5 mapped to the
# simulator's pseudo-terminal: the same frames byte for byte, the same JSON
# and the same exit codes as the Linux program on the same probe.
# Usage: CliEndToEnd.sh CLI_EXE LINUX_CLI SIMULATOR MODEM_LINES_LIBRARY COM5_LINK
# (WINEPREFIX set, its server running, COM5 mapped to COM5_LINK).
set -uo pipefail
exe=$1 linux_cli=$2 sim=$3 modem_lines=$4 link=$5
wine=/usr/lib/wine/wine64
source "$(dirname "$0")/../support/Simulation.sh"
windows_cli() { LD_PRELOAD=$modem_lines "$wine" "$exe" "$@"; }

# One conversation on each system; frames, output and exit code compared.
compare() {
  local preset=$1
  shift
  converse linux "$preset" "$work/ttyLINUX" "$linux_cli" "${@/PORT/$work/ttyLINUX}"
  converse windows "$preset" "$link" windows_cli "${@/PORT/COM5}"
  same_conversation "$preset $* under Wine" linux windows
}

compare rs485-d read PORT --json --quiet
compare current-loop read PORT --json --quiet
compare rs485-d write PORT --address 201 --offset1 12.5 --json --quiet
compare current-loop write PORT --level4 100 --level20 2000 --alarm 3.6 --json --quiet
grep -q '"outcome": "Written and verified."' "$work/windows.out" || fail "the write was not verified"

# The simulator's cable unplugged part-way through the first read: exit 5.
simulate "$link" --preset rs485-d --hangup-after 4
windows_cli read COM5 --quiet >/dev/null 2>"$work/windows.err"
code=$?
[[ $code == 5 ]] || fail "unplugged: exit $code, not 5 ($(cat "$work/windows.err"))"
stop_simulator

# A port that is not there: exit 4.
windows_cli read COM9 --quiet >/dev/null 2>"$work/windows.err"
code=$?
[[ $code == 4 ]] || fail "missing port: exit $code, not 4"
grep -q "The port is not there" "$work/windows.err" || fail "missing port: $(cat "$work/windows.err")"

finish "CLI end to end under Wine"
