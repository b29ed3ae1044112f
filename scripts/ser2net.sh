# Sourced by the tests and the benchmark: a real ser2net (Debian package
# ser2net) on 127.0.0.1 in front of a serial line.
#   ser2net_start DIR LINE  on two free ports: $rfc (RFC 2217) and $raw (raw
#                           TCP); its pid in $server. Fails, with ser2net's
#                           words in DIR/ser2net.log, if it did not start.
#   ser2net_stop
# ser2net opens the line at each connection, so LINE may come and go.

# Whether process PID listens on 127.0.0.1:PORT (the kernel's table of
# sockets; the socket must be the process's own, not another test's).
ser2net_listening() {
  local inode
  inode=$(awk -v want="$(printf '0100007F:%04X' "$1")" '$2 == want && $4 == "0A" { print $10 }' \
    /proc/net/tcp)
  [[ -n $inode ]] && find "/proc/$2/fd" -lname "socket:\[$inode\]" 2>/dev/null | grep -q .
}

ser2net_start() {
  local dir=$1 line=$2
  for _ in $(seq 20); do
    rfc=$((20000 + RANDOM % 20000)) raw=$((rfc + 1))
    cat >"$dir/ser2net.yaml" <<YAML
%YAML 1.1
---
connection: &rfc2217
    accepter: telnet(rfc2217),tcp,127.0.0.1,$rfc
    connector: serialdev,$line,1200n81,local
    options:
      kickolduser: true
connection: &raw
    accepter: tcp,127.0.0.1,$raw
    connector: serialdev,$line,1200n81,local
    options:
      kickolduser: true
YAML
    /usr/sbin/ser2net -n -c "$dir/ser2net.yaml" -P "$dir/ser2net.pid" >"$dir/ser2net.log" 2>&1 &
    server=$!
    # Listening on both (not tried by connecting: a connection takes the line
    # for a moment after it ends).
    for _ in $(seq 50); do
      if ser2net_listening "$rfc" "$server" && ser2net_listening "$raw" "$server"; then return 0; fi
      sleep 0.05
    done
    kill "$server" 2>/dev/null
    wait "$server" 2>/dev/null
  done
  return 1
}

ser2net_stop() {
  kill "$server" 2>/dev/null
  wait "$server" 2>/dev/null
}
