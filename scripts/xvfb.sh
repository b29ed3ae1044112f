#!/usr/bin/env bash
# A virtual X display for the Windows window under Wine (tests, benchmark,
# screenshots), private to one folder: the server picks a free display number
# itself and says which.
#   xvfb.sh start DIR   starts it; DIR/display gets the number, DIR/pid its id
#   xvfb.sh stop DIR    stops the one started there
#   xvfb.sh run DIR COMMAND [ARGS]   runs COMMAND on that display
# A Wine prefix that is to show windows starts its server on the display
# (xvfb.sh run DIR scripts/wine-prefix.sh start ...): its desktop process,
# made at the first start, serves every window of the prefix, and one made
# without a display fails them all (error 1400).
set -euo pipefail
dir=$2
case "$1" in
  start)
    mkdir -p "$dir"
    "$0" stop "$dir"
    fifo=$dir/displayfd
    rm -f "$fifo"
    mkfifo "$fifo"
    # -displayfd writes the number once the server accepts clients; the read
    # blocks until then (or sees the end if the server could not start).
    setsid Xvfb -displayfd 3 -nolisten tcp -screen 0 1280x1024x24 3>"$fifo" \
      </dev/null >"$dir/log" 2>&1 &
    echo $! >"$dir/pid"
    if ! read -r -t 30 display <"$fifo" || [[ -z "$display" ]]; then
      echo "Xvfb did not start:" >&2
      cat "$dir/log" >&2
      exit 1
    fi
    rm -f "$fifo"
    echo "$display" >"$dir/display"
    ;;
  stop)
    if [[ -f "$dir/pid" ]]; then
      kill "$(cat "$dir/pid")" 2>/dev/null || true
      rm -f "$dir/pid" "$dir/display"
    fi
    ;;
  run)
    shift 2
    DISPLAY=:$(cat "$dir/display") exec "$@"
    ;;
  *)
    echo "usage: $0 start|stop DIR | run DIR COMMAND [ARGS]" >&2
    exit 2
    ;;
esac
