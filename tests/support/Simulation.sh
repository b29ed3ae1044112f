# Sourced by the end-to-end scripts (under Wine, behind ser2net): a work
# folder of their own, failures counted, and the probe simulator ($sim)
# serving a line at a path with the options given (its log in $work/sim.log).

work=$(mktemp -d)
trap 'kill $(jobs -p) 2>/dev/null; wait 2>/dev/null; rm -rf "$work"' EXIT
failures=0
fail() {
  echo "FAILED: $*"
  failures=$((failures + 1))
}

# simulate PATH [OPTION]...: starts the simulator there; waits for its line.
simulate() {
  local path=$1
  shift
  # Both gone first: the new simulator's shell empties its output only once it
  # runs, and the last one's line (a dead link by now) must not pass for it.
  rm -f "$work/sim.log" "$work/sim.out"
  "$sim" --link "$path" --log "$work/sim.log" "$@" >"$work/sim.out" 2>&1 &
  simulator=$!
  for _ in $(seq 100); do [[ -s "$work/sim.out" ]] && return 0; sleep 0.05; done
  fail "the simulator did not start"
}
stop_simulator() {
  kill "$simulator" 2>/dev/null
  wait "$simulator" 2>/dev/null
}

# Ends the script: exit 1 if anything failed.
finish() {
  if ((failures)); then
    echo "$failures failed"
    exit 1
  fi
  echo "$1: every check passed"
}
