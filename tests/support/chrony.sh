#!/usr/bin/env bash
# Starts or stops a chronyd that serves NTP on loopback port 123 only and never touches the
# clock (-x): on 127.0.0.1 and ::1, or on the addresses given.
# Usage: chrony.sh start DIR [ADDRESS...] | chrony.sh stop DIR
set -euo pipefail
action=$1
dir=$2
shift 2
addresses=("$@")
[ ${#addresses[@]} -gt 0 ] || addresses=(127.0.0.1 ::1)
chronyd=$(command -v chronyd || echo /usr/sbin/chronyd)

stop() {
  if [ -f "$dir/chronyd.pid" ]; then
    pid=$(cat "$dir/chronyd.pid" 2>/dev/null || true)
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then
      kill "$pid"
      for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
    fi
    rm -f "$dir/chronyd.pid"
  fi
}

case "$action" in
  start)
    stop
    mkdir -p "$dir"
    # One bind address of each family at most: the last of a family wins.
    for address in "${addresses[@]}"; do
      printf 'bindaddress %s\nallow %s\n' "$address" "$address"
    done > "$dir/chrony.conf"
    cat >> "$dir/chrony.conf" <<CONF
port 123
local stratum 8
cmdport 0
pidfile $dir/chronyd.pid
driftfile $dir/chrony.drift
CONF
    "$chronyd" -x -u root -f "$dir/chrony.conf" -l "$dir/chronyd.log"
    # Ready once every address is bound: the pid file is written before the sockets are.
    bound() {
      local a sockets
      sockets=$(ss -lunH 2>/dev/null) || return 0 # without ss, the pid file has to do
      for a in "${addresses[@]}"; do
        [[ "$a" == *:* ]] && a="[$a]"
        grep -qF "$a:123 " <<<"$sockets" || return 1
      done
    }
    for _ in $(seq 50); do
      [ -s "$dir/chronyd.pid" ] && bound && exit 0
      sleep 0.1
    done
    echo "chronyd did not start; see $dir/chronyd.log" >&2
    exit 1
    ;;
  stop)
    stop
    ;;
  *)
    echo "usage: $0 start|stop DIR" >&2
    exit 2
    ;;
esac
