#!/usr/bin/env bash
# The fault soak with many cycles: the real window (offscreen) against the
# probe simulator injecting every fault it has, for each probe family, then
# unplugging and a busy port. Prints a summary table per family.
# Usage: scripts/soak.sh [CYCLES]   (default 60 per family)
set -euo pipefail
cd "$(dirname "$0")/.."
cycles="${1:-60}"
scripts/setup-debian.sh --tests
source scripts/build-dir.sh
build=$(build_dir build)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALMET_BUILD_TESTS=ON >/dev/null
cmake --build "$build" --target soak_tests
KALMET_SOAK_CYCLES="$cycles" QT_QPA_PLATFORM=offscreen "$build"/tests/soak/soak_tests
