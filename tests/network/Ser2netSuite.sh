#!/usr/bin/env bash
# kalmet-cli behind a real serial device server: ser2net on 127.0.0.1 in
# front of the probe simulator's line, as an RFC 2217 port and as a raw TCP
# port. The same frames byte for byte and the same JSON as on the line itself;
# what a technician meets when the address or the server is wrong; a server
# stopped part-way through a read, and started again.
# Usage: Ser2netSuite.sh KALMET_CLI SIMULATOR [CLI_UNDER_TEST...]
# KALMET_CLI talks on the line itself; CLI_UNDER_TEST (by default the same,
# or e.g. "wine64 kalmet-cli.exe") through the server.
set -uo pipefail
linux_cli=$1 sim=$2
shift 2
cli=("$@")
((${#cli[@]})) || cli=("$linux_cli")
source "$(dirname "$0")/../support/Simulation.sh"
line=$work/ttySIM
source "$(dirname "$0")/../../scripts/ser2net.sh"
start_server() {
  ser2net_start "$work" "$line" && return 0
  fail "ser2net did not start: $(cat "$work/ser2net.log")"
  exit 1
}
stop_server() { ser2net_stop; }
# ser2net locks the line (/run/lock/LCK..PATH) while a connection has it and
# lets go only once the connection has ended on its side: the next may not
# take it before.
line_free() {
  for _ in $(seq 100); do
    [[ -e /run/lock/LCK..${line//\//_} ]] || return 0
    sleep 0.02
  done
}

# One conversation on the line itself and one through each of the server's
# ports: frames, JSON and exit code compared.
compare() {
  local preset=$1
  shift
  converse direct "$preset" "$line" "$linux_cli" "${@/PORT/$line}"
  for port in "rfc2217://127.0.0.1:$rfc" "socket://127.0.0.1:$raw"; do
    line_free
    converse server "$preset" "$line" "${cli[@]}" "${@/PORT/$port}"
    same_conversation "$preset $port" direct server
  done
}

start_server
compare rs485-d read PORT --json --quiet
compare current-loop read PORT --json --quiet
compare rs485-d write PORT --address 201 --offset1 12.5 --json --quiet
grep -q '"outcome": "Written and verified."' "$work/server.out" || fail "the write was not verified"

# Refusals a technician meets, each with its exit code and words.
expect() {
  local want=$1 words=$2
  shift 2
  "${cli[@]}" read "$@" --quiet >/dev/null 2>"$work/err"
  local code=$?
  [[ $code == "$want" ]] || fail "$*: exit $code, not $want ($(cat "$work/err"))"
  [[ -z $words ]] || grep -q "$words" "$work/err" || fail "$*: $(cat "$work/err")"
}
simulate "$line" --preset rs485-d
expect 4 "not an RFC 2217 server" "rfc2217://127.0.0.1:$raw"
line_free
expect 4 "refused the connection" "rfc2217://127.0.0.1:$((raw + 1))"
expect 4 "address is not valid" "rfc2217://127.0.0.1"
stop_simulator
# No line behind the server: it closes each connection at once.
expect 4 "closed the connection" "rfc2217://127.0.0.1:$rfc"

# The server stopped part-way through a read: exit 5 at once; started again,
# the probe is read.
simulate "$line" --preset rs485-d
"${cli[@]}" read "rfc2217://127.0.0.1:$rfc" --quiet >/dev/null 2>"$work/err" &
reader=$!
for _ in $(seq 100); do grep -q ' REQ ' "$work/sim.log" 2>/dev/null && break; sleep 0.05; done
stop_server
start=$SECONDS
wait "$reader"
code=$?
[[ $code == 5 ]] || fail "server stopped: exit $code, not 5 ($(cat "$work/err"))"
((SECONDS - start <= 2)) || fail "server stopped: it took $((SECONDS - start)) s to notice"
grep -q "connection to the server was lost" "$work/err" || fail "server stopped: $(cat "$work/err")"
start_server
expect 0 "" "rfc2217://127.0.0.1:$rfc"
stop_simulator
stop_server

finish "${cli[*]##*/} behind ser2net"
