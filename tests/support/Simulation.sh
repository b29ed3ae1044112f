# Sourced by the end-to-end scripts (under Wine, behind ser2net): a work
# folder of their own, failures counted, the probe simulator ($sim) serving a
# line at a path with the options given (its log in $work/sim.log), and
# conversations with it compared.

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

# The requests the simulator heard, one a line.
frames() { grep ' REQ ' "$work/sim.log" | cut -d' ' -f3-; }
# The JSON without the port's name, which differs between the conversations
# compared, and without the carriage returns of Windows' line ends.
without_port() { tr -d '\r' | grep -v '"port":'; }

# converse NAME PRESET LINE COMMAND...: one conversation of COMMAND with a
# simulated PRESET probe on LINE; its output, errors, exit code and the
# frames it sent in $work/NAME.*.
converse() {
  local name=$1 preset=$2 line=$3
  shift 3
  simulate "$line" --preset "$preset"
  "$@" >"$work/$name.out" 2>"$work/$name.err"
  echo $? >"$work/$name.code"
  frames >"$work/$name.frames"
  stop_simulator
}

# same_conversation WHAT EXPECTED NAME: fails where conversation NAME differs
# from conversation EXPECTED in exit code, frames or output, or sent nothing.
same_conversation() {
  local what=$1 want=$work/$2 got=$work/$3
  [[ $(<"$got.code") == "$(<"$want.code")" ]] ||
    fail "$what: exit $(<"$got.code"), not $(<"$want.code") ($(cat "$got.err"))"
  cmp -s "$want.frames" "$got.frames" ||
    fail "$what: other frames: $(diff "$want.frames" "$got.frames")"
  diff <(without_port <"$want.out") <(without_port <"$got.out") >/dev/null ||
    fail "$what: other output: $(diff <(without_port <"$want.out") <(without_port <"$got.out"))"
  [[ -s "$got.frames" ]] || fail "$what: nothing was sent"
}

# Ends the script: exit 1 if anything failed.
finish() {
  if ((failures)); then
    echo "$failures failed"
    exit 1
  fi
  echo "$1: every check passed"
}
