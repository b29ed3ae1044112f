#!/usr/bin/env bash
# Renders the window, connected to a simulated RS-485 and current-loop probe,
# into the PNG files the README shows (offscreen; no display needed).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh --tests
source scripts/build-dir.sh
build=$(build_dir build)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target kalmet-render-window
mkdir -p docs/images
QT_QPA_PLATFORM=offscreen "$build"/tools/kalmet-render-window rs485-d docs/images/window-rs485.png
QT_QPA_PLATFORM=offscreen "$build"/tools/kalmet-render-window current-loop docs/images/window-current-loop.png
echo "Written: docs/images/window-rs485.png docs/images/window-current-loop.png"
