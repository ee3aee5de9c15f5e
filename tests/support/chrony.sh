#!/usr/bin/env bash
# Starts or stops a chronyd that serves NTP on 127.0.0.1:123 only and never touches the
# clock (-x). Usage: chrony.sh start|stop DIR
set -euo pipefail
action=$1
dir=$2
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
    cat > "$dir/chrony.conf" <<CONF
bindaddress 127.0.0.1
port 123
allow 127.0.0.1
local stratum 8
cmdport 0
pidfile $dir/chronyd.pid
driftfile $dir/chrony.drift
CONF
    "$chronyd" -x -u root -f "$dir/chrony.conf" -l "$dir/chronyd.log"
    for _ in $(seq 50); do
      [ -s "$dir/chronyd.pid" ] && exit 0
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
