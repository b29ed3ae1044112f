#!/usr/bin/env bash
# Builds the Windows programs and test suites with mingw-w64 into
# build-windows/ (installs the cross compiler, Wine and googletest's sources
# first), and the Linux programs the tests under Wine talk to (the probe
# simulator, kalmet-cli) in the Linux build. The test suites run under Wine:
# ctest --test-dir build-windows.
# Usage: scripts/build-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh
scripts/setup-debian.sh --windows

source scripts/build-dir.sh
linux=$(build_dir build)
if [[ ! -f "$linux/build.ninja" ]]; then
  cmake -S . -B "$linux" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
fi
cmake --build "$linux" --target kalmet-probe-sim kalmet-cli

build=$(build_dir build-windows)
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALMET_BUILD_TESTS=ON -DKALMET_LINUX_BUILD="$PWD/$linux" \
  >/dev/null
cmake --build "$build"
