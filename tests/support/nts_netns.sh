#!/usr/bin/env bash
# Runs COMMAND in a network namespace of its own beside an NTS server that never touches the
# clock: chronyd -x, or ntpsec's ntpd in a user namespace with its clock discipline off. The
# certificates come from a test authority (nts_test_ca.sh); COMMAND gets QUORVANE_NTS_TRUST,
# the authority's PEM file. With chrony, gnutls-serv also offers key establishment with a
# certificate for another host (port 4461), an expired one (4462) and one from an untrusted
# authority (4463), and QUORVANE_NTS_BAD_CERTS is set. Everything is removed afterwards, also
# on failure. Exits 77 (skip) where namespaces cannot be made or the server is missing.
# Usage: nts_netns.sh chrony|ntpsec COMMAND [ARGS...]
set -uo pipefail
kind=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
ns=qvnts$$
dir=$(mktemp -d /tmp/quorvane-nts-XXXXXX)
pids=()

cleanup() {
  for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
  if [ -s "$dir/chronyd.pid" ]; then kill "$(cat "$dir/chronyd.pid")" 2>/dev/null; fi
  sleep 0.2
  ip netns del "$ns" 2>/dev/null
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ntpd=${QUORVANE_NTPD:-$(command -v ntpd || true)}
chronyd=$(command -v chronyd || echo /usr/sbin/chronyd)
if [ "$kind" = ntpsec ] && [ ! -x "$ntpd" ]; then echo "nts_netns: no ntpd" >&2; exit 77; fi
if ! ip netns add "$ns" 2>/dev/null; then echo "nts_netns: no namespaces" >&2; exit 77; fi
ip -n "$ns" link set lo up
"$here/nts_test_ca.sh" "$dir" || exit 1
in_ns() { ip netns exec "$ns" "$@"; }

wait_listening() {  # port
  for _ in $(seq 100); do
    in_ns ss -ltnH "sport = :$1" | grep -q . && return 0
    sleep 0.05
  done
  echo "nts_netns: nothing listens on $1" >&2
  return 1
}

bad=()
if [ "$kind" = chrony ]; then
  cat >"$dir/chrony.conf" <<CONF
allow
local stratum 8
cmdport 0
pidfile $dir/chronyd.pid
driftfile $dir/chrony.drift
ntsserverkey $dir/good.key
ntsservercert $dir/good.pem
ntsdumpdir $dir
CONF
  in_ns "$chronyd" -x -u root -f "$dir/chrony.conf" -l "$dir/server.log" || exit 1
  port=4461
  for cert in other expired rogue; do
    in_ns gnutls-serv -p "$port" -a --alpn ntske/1 --x509certfile "$dir/$cert.pem" \
      --x509keyfile "$dir/$cert.key" >"$dir/gnutls-$cert.log" 2>&1 &
    pids+=($!)
    wait_listening "$port" || exit 1
    port=$((port + 1))
  done
  bad=(QUORVANE_NTS_BAD_CERTS=1)
else
  cat >"$dir/ntp.conf" <<CONF
nts enable
nts key $dir/good.key
nts cert $dir/good.pem
nts cookie $dir/cookies
logfile $dir/server.log
disable kernel
disable ntp
CONF
  # A user namespace has no right over the clock; the port below 1024 is then opened to it.
  in_ns sysctl -q -w net.ipv4.ip_unprivileged_port_start=0
  ip netns exec "$ns" unshare --user --map-root-user "$ntpd" -n -c "$dir/ntp.conf" \
    >"$dir/ntpd.out" 2>&1 &
  pids+=($!)
fi
wait_listening 4460 || { cat "$dir"/*.log "$dir"/*.out 2>/dev/null | tail -20 >&2; exit 1; }

in_ns env QUORVANE_NTS_TRUST="$dir/ca.pem" QUORVANE_NTS_SERVER="$kind" "${bad[@]}" "$@"
status=$?
[ "$status" -ne 0 ] && tail -20 "$dir/server.log" >&2 2>/dev/null
exit "$status"
