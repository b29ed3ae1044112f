#!/usr/bin/env bash
# Shows the tool at work without a probe: starts the probe simulator on a
# virtual port ttyKALMET0 (in /dev for root, in the user's own folder of
# virtual ports otherwise), then the tool. Pick "ttyKALMET0" in the port list.
# Usage: scripts/demo.sh [PRESET] [SIMULATOR OPTION]...
#   PRESET: rs485-d, current-loop, ... (see kalmet-probe-sim --help); further
#   options go to the simulator, e.g. --echo for an adapter that echoes.
set -euo pipefail
cd "$(dirname "$0")/.."
preset="${1:-rs485-d}"
shift || true

source scripts/build-dir.sh
need_display
scripts/setup-debian.sh
build=$(build_dir build)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target kalmet-configuration-tool kalmet-probe-sim

log=$(mktemp --tmpdir kalmet-probe-sim.XXXXXX.log)
where=$(mktemp)
"$build"/tools/kalmet-probe-sim --preset "$preset" --link ttyKALMET0 --log "$log" "$@" >"$where" &
sim=$!
trap 'kill $sim 2>/dev/null; wait $sim 2>/dev/null; rm -f "$where"' EXIT
for _ in $(seq 50); do [[ -s "$where" ]] && break; sleep 0.1; done
echo "Simulated probe ($preset) on $(head -1 "$where"); its conversation is logged to $log."
echo "Pick ttyKALMET0 in the tool's port list."
"$build"/app/kalmet-configuration-tool
