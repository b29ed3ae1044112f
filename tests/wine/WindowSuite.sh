#!/usr/bin/env bash
# The window as a Windows program under Wine, on this build's virtual display:
# its layout from the system's controls, then the whole tool against the probe
# simulator on COM5 (mapped to the simulator's line), one probe at a time.
# Usage: WindowSuite.sh TEST_EXE SIMULATOR MODEM_LINES_LIBRARY COM5_LINK XVFB_DIR
# (WINEPREFIX set, its server running, COM5 mapped to COM5_LINK, Xvfb running).
set -uo pipefail
exe=$1 sim=$2 modem_lines=$3 link=$4 xvfb=$5
wine=/usr/lib/wine/wine64
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# Starts the simulator on COM5's link with the options given; waits for its line.
simulate() {
  rm -f "$work/sim.log"
  "$sim" --link "$link" --log "$work/sim.log" "$@" >"$work/sim.out" 2>&1 &
  for _ in $(seq 100); do [[ -s "$work/sim.out" ]] && return 0; sleep 0.05; done
  fail "the simulator did not start"
}
stop_simulator() {
  kill %% 2>/dev/null
  wait 2>/dev/null
}
suite() {
  KALMET_SIM_LOG=$work/sim.log LD_PRELOAD=$modem_lines DISPLAY=:$(cat "$xvfb/display") \
    "$wine" "$exe" --gtest_filter="$1" || fail "$1"
}

suite 'WindowOnWindows.EveryControl*:WindowOnWindows.WindowCaption*:WindowOnWindows.PortList*'
simulate --preset rs485-d --echo
suite 'WindowOnWindows.Rs485*'
stop_simulator
simulate --preset current-loop
suite 'WindowOnWindows.CurrentLoop*'
stop_simulator
simulate --preset rs485-d --hangup-after 4 --return-after 2000
suite 'WindowOnWindows.Unplugged*'
stop_simulator

if ((failures)); then
  echo "$failures failed"
  exit 1
fi
