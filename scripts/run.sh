#!/usr/bin/env bash
# Installs what is needed, builds the tool and starts it.
set -euo pipefail
cd "$(dirname "$0")/.."
source scripts/build-dir.sh
need_display
scripts/setup-debian.sh
build=$(build_dir build)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target kalmet-configuration-tool
exec "$build"/app/kalmet-configuration-tool
