#!/usr/bin/env bash
# Runs COMMAND in a network namespace of its own beside an NTS server that never touches the
# clock: chronyd -x, or ntpsec's ntpd in a user namespace without CAP_SYS_TIME, synchronised to
# a chronyd -x in a second namespace before COMMAND starts. The certificates come from a test
# authority (nts_test_ca.sh); COMMAND gets QUORVANE_NTS_TRUST, the authority's PEM file. With
# chrony, gnutls-serv also offers key establishment with a certificate for another host (port
# 4461), an expired one (4462) and one from an untrusted authority (4463), and
# QUORVANE_NTS_BAD_CERTS is set; and when QUORVANE_PROGRAM names a built Quorvane, that program
# then syncs once against chrony (program_runs). Everything is removed afterwards, also on
# failure or interruption. Exits 77 (skip) where namespaces cannot be made or the server is
# missing.
# Usage: nts_netns.sh chrony|ntpsec COMMAND [ARGS...]
set -uo pipefail
kind=$1
shift
here=$(cd "$(dirname "$0")" && pwd)
ns=qvnts$$
up=qvntsup$$  # ntpd's upstream
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
  end_namespace "$up"
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

start_chrony() {  # namespace, name, further configuration
  cat >"$dir/$2.conf" <<CONF
allow
local stratum 8
cmdport 0
pidfile $dir/$2.pid
driftfile $dir/$2.drift
$3
CONF
  ip netns exec "$1" "$chronyd" -x -u root -f "$dir/$2.conf" -l "$dir/$2.log"
}

wait_listening() {  # port
  for _ in $(seq 100); do
    in_ns ss -ltnH "sport = :$1" | grep -q . && return 0
    sleep 0.05
  done
  echo "nts_netns: nothing listens on $1" >&2
  return 1
}

# Until the server on 127.0.0.1:123 answers with a leap indicator other than 3 and a stratum
# below 16.
wait_synchronised() {
  for _ in $(seq 50); do
    in_ns python3 -c '
import socket
s = socket.socket(socket.AF_INET, socket.SOCK_DGRAM)
s.settimeout(0.2)
s.sendto(b"\x23" + bytes(47), ("127.0.0.1", 123))
r = s.recv(512)
raise SystemExit(0 if r[0] >> 6 != 3 and 0 < r[1] < 16 else 1)' 2>/dev/null && return 0
    sleep 0.2
  done
  echo "nts_netns: ntpd is not synchronised" >&2
  return 1
}

# The real program with NTS on, once from the command line (any argument), against chrony: a
# copy of it and its helper in a folder of its own, which then holds its log, in a user
# namespace without CAP_SYS_TIME, where the kernel refuses the step. So the one line expected
# ends in ",F", once the box "Failed to Set System Clock" is answered; with the trust file
# missing, there is none. Runs under xvfb-run; says what failed.
program_runs() {
  local prog=$dir/program log=$dir/program/Quorvane.txt status=0
  local line='^[0-9]{4}/[0-9]{2}/[0-9]{2},[0-9:]{8},[-+][0-9]+\.[0-9]{6},localhost,1,H,F$'
  mkdir -p "$prog" "$dir/home/.config/Veltrand"
  cp "$QUORVANE_PROGRAM" "$(dirname "$QUORVANE_PROGRAM")/quorvane-helper" "$prog/" || return 1
  run_program "$dir/ca.pem" 50 test -s "$log"
  [[ $(cat "$log" 2>/dev/null | tr -d '\r') =~ $line ]] ||
    { echo "program: not one refused step from localhost: $(cat "$log" 2>/dev/null)"; status=1; }
  rm -f "$log"
  # With trust, the step came within a second of the start.
  run_program "$dir/missing.pem" 10 test -e "$log" &&
    { echo "program: a line without a trusted server: $(cat "$log")"; status=1; }
  xdotool search --onlyvisible --name '^Quorvane' >/dev/null ||
    { echo "program: no window"; status=1; }
  kill "$program" 2>/dev/null
  wait "$program" 2>/dev/null
  [ "$status" -eq 0 ] || tail -5 "$dir/program.out"
  return "$status"
}
run_program() {  # trust file, tries (0.2 s each), command that tells it is far enough
  printf '[Options]\nUse_NTS=1\nNTS_Trust_File=%s\nPrimary_Server=localhost\nLogToFile=1\n' "$1" \
    >"$dir/home/.config/Veltrand/Quorvane.conf"
  [ -n "${program:-}" ] && kill "$program" 2>/dev/null && wait "$program" 2>/dev/null
  HOME=$dir/home XDG_CONFIG_HOME=$dir/home/.config QT_QPA_PLATFORM=xcb timeout 20 \
    setpriv --bounding-set -sys_time -- unshare --user --map-root-user "$prog/Quorvane" x \
    >>"$dir/program.out" 2>&1 &
  program=$!
  local box
  for _ in $(seq "$2"); do
    "${@:3}" >/dev/null 2>&1 && return 0
    box=$(xdotool search --onlyvisible --name '^Failed to Set System Clock$' 2>/dev/null | head -n1)
    [ -n "$box" ] && timeout 2 xdotool windowfocus --sync "$box" key Return
    sleep 0.2
  done
  return 1
}

bad=()
if [ "$kind" = chrony ]; then
  start_chrony "$ns" server "ntsserverkey $dir/good.key
ntsservercert $dir/good.pem
ntsdumpdir $dir" || exit 1
  port=4461
  for cert in other expired rogue; do
    in_ns gnutls-serv -p "$port" -a --alpn ntske/1 --x509certfile "$dir/$cert.pem" \
      --x509keyfile "$dir/$cert.key" >"$dir/gnutls-$cert.log" 2>&1 &
    wait_listening "$port" || exit 1
    port=$((port + 1))
  done
  bad=(QUORVANE_NTS_BAD_CERTS=1)
else
  # ntpd calls itself synchronised only once it has disciplined its clock to a source, so it
  # gets one: chronyd -x in a second namespace, reached over a veth pair.
  ip netns add "$up" && ip -n "$up" link set lo up &&
    ip link add "qvn$$" netns "$ns" type veth peer name "qvu$$" netns "$up" || exit 1
  ip -n "$ns" addr add 10.124.0.1/24 dev "qvn$$" && ip -n "$ns" link set "qvn$$" up
  ip -n "$up" addr add 10.124.0.2/24 dev "qvu$$" && ip -n "$up" link set "qvu$$" up
  start_chrony "$up" upstream "bindaddress 10.124.0.2" || exit 1
  cat >"$dir/ntp.conf" <<CONF
nts enable
nts key $dir/good.key
nts cert $dir/good.pem
nts cookie $dir/cookies
logfile $dir/server.log
server 10.124.0.2 iburst minpoll 0 maxpoll 1
# One sample makes the source fit: synchronised in about 3 s instead of 7.
tos maxdist 16
# The tests ask far faster than a client should; its default rate limit would drop them.
restrict 127.0.0.1
restrict ::1
disable kernel
CONF
  # Its discipline runs, but in a user namespace without CAP_SYS_TIME in its bounding set the
  # kernel refuses every adjustment (EPERM); port 123 is opened to that namespace.
  in_ns sysctl -q -w net.ipv4.ip_unprivileged_port_start=0
  in_ns setpriv --bounding-set -sys_time -- unshare --user --map-root-user "$ntpd" -n \
    -c "$dir/ntp.conf" >"$dir/ntpd.out" 2>&1 &
fi
server_failed() { cat "$dir"/*.log "$dir"/*.out 2>/dev/null | tail -20 >&2; exit 1; }
wait_listening 4460 || server_failed
[ "$kind" = ntpsec ] && { wait_synchronised || server_failed; }

# In the background, so that an interruption ends it and the servers at once.
in_ns env QUORVANE_NTS_TRUST="$dir/ca.pem" QUORVANE_NTS_SERVER="$kind" "${bad[@]}" "$@" &
wait $!
status=$?
if [ "$kind" = chrony ] && [ -n "${QUORVANE_PROGRAM:-}" ]; then
  if command -v xvfb-run >/dev/null && command -v xdotool >/dev/null; then
    export dir QUORVANE_PROGRAM
    # -noreset: the server would otherwise reset as the first program ends, and the second,
    # connecting meanwhile, would find no display.
    in_ns timeout 60 xvfb-run -a -s "-screen 0 1024x768x24 -noreset" \
      bash -c "$(declare -f program_runs run_program); program_runs" ||
      status=1
  else
    echo "nts_netns: no xvfb-run or xdotool, so the real program is not run" >&2
  fi
fi
[ "$status" -ne 0 ] && tail -20 "$dir/server.log" >&2 2>/dev/null
exit "$status"
