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
chronyd=$(command -v chronyd || echo /usr/sbin/chronyd)

# Everything started here runs in the namespace, also what a wrapper or a daemon's fork leaves
# behind, so what is still there at the end is ended: asked first, then killed.
end_namespace() {  # namespace
  local left
  left=$(ip netns pids "$1" 2>/dev/null)
  [ -n "$left" ] && kill $left 2>/dev/null
  for _ in $(seq 40); do
    left=$(ip netns pids "$1" 2>/dev/null)
    [ -z "$left" ] && break
    sleep 0.05
  done
  [ -n "$left" ] && kill -KILL $left 2>/dev/null
  ip netns del "$1" 2>/dev/null
}

cleanup() {
  end_namespace "$ns"
  rm -rf "$dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

ntpd=${QUORVANE_NTPD:-$(command -v ntpd || true)}
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
fi
wait_listening 4460 || { cat "$dir"/*.log "$dir"/*.out 2>/dev/null | tail -20 >&2; exit 1; }

# In the background, so that an interruption ends it and the servers at once.
in_ns env QUORVANE_NTS_TRUST="$dir/ca.pem" QUORVANE_NTS_SERVER="$kind" "${bad[@]}" "$@" &
wait $!
status=$?
[ "$status" -ne 0 ] && tail -20 "$dir/server.log" >&2 2>/dev/null
exit "$status"
