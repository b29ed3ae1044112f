#!/usr/bin/env bash
# Builds the Windows programs and test suites with mingw-w64 into
# build-windows/ (installs the cross compiler, Wine and googletest's sources
# first). The test suites run under Wine: ctest --test-dir build-windows.
# Usage: scripts/build-windows.sh
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/setup-debian.sh --windows

source scripts/build-dir.sh
build=$(build_dir build-windows)
cmake -S . -B "$build" -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo -DKALMET_BUILD_TESTS=ON >/dev/null
cmake --build "$build"
