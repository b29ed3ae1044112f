#!/usr/bin/env bash
# Runs the fuzz targets (clang 14 libFuzzer, with AddressSanitizer and
# UndefinedBehaviorSanitizer) for SECONDS each, starting from the seed corpora
# in fuzz/corpus. New inputs go to fuzz-corpus/ (not committed).
# Usage: scripts/fuzz.sh [SECONDS]   (default 300)
set -euo pipefail
cd "$(dirname "$0")/.."
seconds="${1:-300}"

scripts/setup-debian.sh --fuzz
source scripts/build-dir.sh
build=$(build_dir build-fuzz)
cmake -S . -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
  -DCMAKE_CXX_COMPILER=clang++-14 -DKALMET_FUZZ=ON -DKALMET_SANITIZE=address,undefined \
  -DKALMET_BUILD_TESTS=OFF >/dev/null
cmake --build "$build" --target reply_stream_fuzzer numbers_fuzzer telnet_fuzzer

export ASAN_OPTIONS="detect_leaks=1:halt_on_error=1"
export UBSAN_OPTIONS="halt_on_error=1:print_stacktrace=1"
status=0
for target in reply_stream numbers telnet; do
  work="fuzz-corpus/$target"
  mkdir -p "$work"
  echo "== ${target}_fuzzer for ${seconds} s"
  log="$build/${target}.log"
  rc=0
  "$build"/fuzz/${target}_fuzzer -max_total_time="$seconds" -print_final_stats=1 \
    -max_len=512 -timeout=10 -rss_limit_mb=2048 "$work" "fuzz/corpus/$target" >"$log" 2>&1 || rc=$?
  grep -E "^#[0-9]+\s+(INITED|DONE)|stat::number_of_executed_units|ERROR|SUMMARY|invariant|Test unit written" "$log" || true
  if [[ $rc -ne 0 ]]; then
    echo "${target}_fuzzer found a problem (exit $rc); the full log is $log" >&2
    status=1
  fi
done
exit $status
