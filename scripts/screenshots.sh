#!/usr/bin/env bash
# Renders the window, connected to a simulated RS-485 and current-loop probe,
# into the PNG files the README shows: the Linux window offscreen, and the
# Windows window under Wine on a virtual display of its own (no display
# needed for either).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup-debian.sh --tests
source scripts/build-dir.sh
build=$(build_dir build)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
cmake --build "$build" --target kalmet-render-window kalmet-probe-sim
mkdir -p docs/images
QT_QPA_PLATFORM=offscreen "$build"/tools/kalmet-render-window rs485-d docs/images/window-rs485.png
QT_QPA_PLATFORM=offscreen "$build"/tools/kalmet-render-window current-loop docs/images/window-current-loop.png

# The Windows window: the simulator's line on COM5, as in the tests.
windows=$(build_dir build-windows)
[[ -f "$windows/build.ninja" ]] || scripts/build-windows.sh
cmake --build "$windows" --target kalmet-render-window kalmet_pty_modem_lines
export WINEPREFIX=$PWD/$windows/wine-prefix WINEDEBUG=-all
scripts/xvfb.sh start "$windows/xvfb-screenshots"
scripts/xvfb.sh run "$windows/xvfb-screenshots" scripts/wine-prefix.sh start "$WINEPREFIX" "$PWD/$windows/ports"
work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null || true; wait 2>/dev/null; rm -rf "$work"
      scripts/xvfb.sh stop "$windows/xvfb-screenshots"
      scripts/wine-prefix.sh stop "$WINEPREFIX"' EXIT
for preset in rs485-d current-loop; do
  rm -f "$work/sim.out"  # not the last simulator's line: its shell empties it only once it runs
  "$build"/tools/kalmet-probe-sim --preset "$preset" --link "$PWD/$windows/ports/com5" --quiet \
    >"$work/sim.out" &
  for _ in $(seq 100); do [[ -s "$work/sim.out" ]] && break; sleep 0.05; done
  DISPLAY=":$(cat "$windows/xvfb-screenshots/display")" \
    LD_PRELOAD="$PWD/$windows/tests/wine/libkalmet-pty-modem-lines.so" \
    /usr/lib/wine/wine64 "$windows/tools/kalmet-render-window.exe" COM5 "$work/window.bmp"
  kill %% && wait %% 2>/dev/null || true
  name=${preset/rs485-d/rs485}
  scripts/bmp-to-png.py "$work/window.bmp" "docs/images/window-windows-$name.png"
done
echo "Written: docs/images/window-{rs485,current-loop}.png and window-windows-{rs485,current-loop}.png"
