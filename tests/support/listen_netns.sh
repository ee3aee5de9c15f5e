#!/usr/bin/env bash
# Runs COMMAND in a network namespace of its own that hears NTP broadcasts: two namespaces
# joined by a veth pair, chronyd -x (never touching the clock) broadcasting every 2 s from
# the first, COMMAND in the second with QUORVANE_LISTENER, QUORVANE_BROADCASTER and
# QUORVANE_BROADCASTER_NS set. PEER_COMMAND, when set, runs in the broadcaster's namespace
# beside it. Everything is removed afterwards, also on failure or interruption. Where
# namespaces cannot be made, COMMAND runs as it is, without those variables.
# Usage: listen_netns.sh COMMAND [ARGS...]
set -uo pipefail
tag=$$
bc=qvbc$tag
ls=qvls$tag
dir=$(mktemp -d /tmp/quorvane-netns-XXXXXX)
broadcaster=10.123.0.1
listener=10.123.0.2
chronyd=$(command -v chronyd || echo /usr/sbin/chronyd)

cleanup() {
  [ -n "${peer_pid:-}" ] && kill "$peer_pid" 2>/dev/null
  if [ -s "$dir/chronyd.pid" ]; then
    pid=$(cat "$dir/chronyd.pid")
    kill "$pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  ip netns del "$bc" 2>/dev/null
  ip netns del "$ls" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

if ! ip netns add "$bc" 2>/dev/null || ! ip netns add "$ls" 2>/dev/null ||
  ! ip link add "qvb$tag" netns "$bc" type veth peer name "qvl$tag" netns "$ls" 2>/dev/null; then
  echo "listen_netns: cannot make network namespaces; running without them" >&2
  "$@"
  exit $?
fi
ip -n "$bc" addr add "$broadcaster/24" broadcast 10.123.0.255 dev "qvb$tag"
ip -n "$ls" addr add "$listener/24" broadcast 10.123.0.255 dev "qvl$tag"
for ns in "$bc" "$ls"; do
  ip -n "$ns" link set lo up
done
ip -n "$bc" link set "qvb$tag" up
ip -n "$ls" link set "qvl$tag" up
# A process in a user namespace may then bind port 123 in the listener's namespace.
ip netns exec "$ls" sysctl -q -w net.ipv4.ip_unprivileged_port_start=0

cat >"$dir/chrony.conf" <<CONF
bindaddress $broadcaster
local stratum 8
broadcast 2 10.123.0.255
cmdport 0
pidfile $dir/chronyd.pid
driftfile $dir/chrony.drift
CONF
ip netns exec "$bc" "$chronyd" -x -u root -f "$dir/chrony.conf" -l "$dir/chronyd.log" ||
  { echo "listen_netns: chronyd did not start" >&2; exit 1; }

if [ -n "${PEER_COMMAND:-}" ]; then
  ip netns exec "$bc" bash -c "$PEER_COMMAND" &
  peer_pid=$!
fi
ip netns exec "$ls" env QUORVANE_LISTENER="$listener" QUORVANE_BROADCASTER="$broadcaster" \
  QUORVANE_BROADCASTER_NS="$bc" "$@"
status=$?
[ "$status" -ne 0 ] && [ -f "$dir/chronyd.log" ] && tail -5 "$dir/chronyd.log" >&2
exit "$status"
