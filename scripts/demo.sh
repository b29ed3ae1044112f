#!/usr/bin/env bash
# Shows the tool at work without a probe: starts the probe simulator on a
# virtual port /dev/ttyKALMET0, then the tool. Pick "ttyKALMET0" in the port
# list. Needs root for the link in /dev (as the README's commands do).
# Usage: scripts/demo.sh [PRESET] [SIMULATOR OPTION]...
#   PRESET: rs485-d, current-loop, ... (see kalmet-probe-sim --help); further
#   options go to the simulator, e.g. --echo for an adapter that echoes.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-rs485-d}"
shift || true

scripts/setup-debian.sh
cmake -S . -B build -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build build --target kalmet-configuration-tool kalmet-probe-sim

log=/tmp/kalmet-probe-sim.log
build/tools/kalmet-probe-sim --preset "$preset" --link /dev/ttyKALMET0 --log "$log" "$@" >/dev/null &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null' EXIT
for _ in $(seq 50); do [[ -L /dev/ttyKALMET0 ]] && break; sleep 0.1; done
echo "Simulated probe ($preset) on /dev/ttyKALMET0; its conversation is logged to $log."
echo "Pick ttyKALMET0 in the tool's port list."
build/app/kalmet-configuration-tool
