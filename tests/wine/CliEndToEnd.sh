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
frames() { grep ' REQ ' "$work/sim.log" | cut -d' ' -f3-; }
windows_cli() { LD_PRELOAD=$modem_lines "$wine" "$exe" "$@"; }
# The JSON without the port's name, which differs between the systems, and
# without the carriage returns of Windows' line ends.
without_port() { tr -d '\r' | grep -v '"port":'; }

# One conversation on each system; frames, output and exit code compared.
compare() {
  local preset=$1
  shift
  simulate "$work/ttyLINUX" --preset "$preset"
  "$linux_cli" "${@/PORT/$work/ttyLINUX}" >"$work/linux.out" 2>/dev/null
  local linux_code=$?
  frames >"$work/linux.frames"
  stop_simulator
  simulate "$link" --preset "$preset"
  windows_cli "${@/PORT/COM5}" >"$work/windows.out" 2>"$work/windows.err"
  local windows_code=$?
  frames >"$work/windows.frames"
  stop_simulator
  [[ $windows_code == "$linux_code" ]] ||
    fail "$preset $*: exit $windows_code under Wine, $linux_code on Linux ($(cat "$work/windows.err"))"
  cmp -s "$work/linux.frames" "$work/windows.frames" ||
    fail "$preset $*: other frames: $(diff "$work/linux.frames" "$work/windows.frames")"
  diff <(without_port <"$work/linux.out") <(without_port <"$work/windows.out") >/dev/null ||
    fail "$preset $*: other output: $(diff <(without_port <"$work/linux.out") <(without_port <"$work/windows.out"))"
  [[ -s "$work/windows.frames" ]] || fail "$preset $*: nothing was sent"
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
