#!/usr/bin/env bash
# The window as a Windows program under Wine, on this build's virtual display:
# its layout from the system's controls, then the whole tool against the probe
# simulator on COM5 (mapped to the simulator's line), one probe at a time.
# Usage: WindowSuite.sh TEST_EXE SIMULATOR MODEM_LINES_LIBRARY COM5_LINK XVFB_DIR
# (WINEPREFIX set, its server running, COM5 mapped to COM5_LINK, Xvfb running).
set -uo pipefail
exe=$1 sim=$2 modem_lines=$3 link=$4 xvfb=$5
wine=/usr/lib/wine/wine64
source "$(dirname "$0")/../support/Simulation.sh"
suite() {
  KALMET_SIM_LOG=$work/sim.log LD_PRELOAD=$modem_lines DISPLAY=:$(cat "$xvfb/display") \
    "$wine" "$exe" --gtest_filter="$1" || fail "$1"
}

suite 'WindowOnWindows.EveryControl*:WindowOnWindows.WindowCaption*:WindowOnWindows.PortList*:WindowOnWindows.ATypedAddressOpensOnEnter'
simulate "$link" --preset rs485-d --echo
suite 'WindowOnWindows.Rs485*'
stop_simulator
simulate "$link" --preset current-loop
suite 'WindowOnWindows.CurrentLoop*'
stop_simulator
# Back 13 s later: Wine keeps listing the port while it is away, so only the
# quiet tries, a second apart, find it again.
simulate "$link" --preset rs485-d --hangup-after 4 --return-after 13000
suite 'WindowOnWindows.Unplugged*'
stop_simulator
# A typed address: the probe through ser2net on 127.0.0.1.
source "$(dirname "$0")/../../scripts/ser2net.sh"
simulate "$work/ttyNET" --preset rs485-d
if ser2net_start "$work" "$work/ttyNET"; then
  KALMET_SERVER_ADDRESS=rfc2217://127.0.0.1:$rfc suite 'WindowOnWindows.ATypedAddressIsRead*'
  ser2net_stop
else
  fail "ser2net did not start: $(cat "$work/ser2net.log")"
fi
stop_simulator

finish "The window under Wine"
