#!/usr/bin/env bash
# Installs what is needed, builds the tool with its tests and runs every test
# (offscreen: no display needed); then builds the Windows programs and runs
# their test suites under Wine (not with a sanitizer). Prints CTest's summaries.
# Usage: scripts/test.sh [--sanitize=address,undefined|thread] [ctest options...]
set -euo pipefail
cd "$(dirname "$0")/.."

sanitize=""
ctest_args=()
for a in "$@"; do
  case "$a" in
    --sanitize=*) sanitize="${a#--sanitize=}" ;;
    *) ctest_args+=("$a") ;;
  esac
done

scripts/setup-debian.sh --tests

source scripts/build-dir.sh
build=build
[[ -n "$sanitize" ]] && build="build-${sanitize//,/-}"
build=$(build_dir "$build")
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DKALMET_BUILD_TESTS=ON -DKALMET_SANITIZE="$sanitize" >/dev/null
cmake --build "$build"

export QT_QPA_PLATFORM=offscreen
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0:halt_on_error=1:detect_stack_use_after_return=1"
export LSAN_OPTIONS="suppressions=$PWD/tests/support/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
export TSAN_OPTIONS="halt_on_error=1:second_deadlock_stack=1:suppressions=$PWD/tests/support/tsan.supp"
ctest --test-dir "$build" --output-on-failure -j"$(nproc)" --timeout 300 "${ctest_args[@]}"

if [[ -z "$sanitize" ]]; then
  scripts/build-windows.sh
  windows=$(build_dir build-windows)
  ctest --test-dir "$windows" --output-on-failure -j"$(nproc)" --timeout 300 "${ctest_args[@]}"
fi
