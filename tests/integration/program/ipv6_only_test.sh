#!/usr/bin/env bash
# A network namespace of the test that has only IPv6 (127.0.0.1 taken off loopback), with a
# chrony -x on [::1]:123 and a name that has only an IPv6 address (v6only.quorvane.test, from
# the namespace's hosts file). In it:
#   - the engine's in-process tests against chrony on ::1 (a virtual clock is stepped) and the
#     Servers dialog's test, each with the server as "::1", "[::1]" and the name;
#   - the real program on a virtual display, one sync for each of the three: the exchange goes
#     through, the step is refused (a user namespace may not set the clock) and the log line
#     names the server exactly as typed, with its F.
# Exits 77 (skip) where no namespace or X server can be had.
# Usage: ipv6_only_test.sh PROGRAM_DIR INTEGRATION_TESTS GUI_TESTS
set -uo pipefail
build=$(cd "$1" && pwd)
integration_tests=$2
gui_tests=$3
here=$(cd "$(dirname "$0")" && pwd)
support=$here/../../support
work=$(mktemp -d /tmp/quorvane-ipv6-XXXXXX)
name=v6only.quorvane.test
# shellcheck source=tests/support/program_netns.sh
. "$support/program_netns.sh"
trap '"$support/chrony.sh" stop "$work/chrony" 2>/dev/null; pn_cleanup; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

failures=0
check() {  # description, command...
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

for tool in xdotool Xvfb xprop; do
  command -v "$tool" >/dev/null || { echo "ipv6_only: $tool is missing" >&2; exit 77; }
done
PN_HOSTS="::1 $name"$'\n' pn_make_netns "qvv6$$" "nameserver ::1" ipv6-only ||
  { echo "ipv6_only: no network namespace can be made" >&2; exit 77; }
check "the namespace has no IPv4 address" test -z "$(pn_in_ns ip -4 addr show)"
pn_in_ns "$support/chrony.sh" start "$work/chrony" ::1 || exit 1

echo "== in process, on a virtual clock"
export QUORVANE_AAAA_ONLY_NAME=$name
check "the engine syncs against [::1]:123" \
  pn_in_ns "$integration_tests" --gtest_filter='EngineAgainstChrony.Ipv6*' --gtest_brief=1
check "the Servers dialog's test succeeds against [::1]:123" \
  pn_in_ns "$gui_tests" --gtest_filter='ServerTestChrony.Ipv6*' --gtest_brief=1

echo "== the real program"
pn_start_x || { echo "ipv6_only: no X server" >&2; exit 77; }
log=$work/program/Quorvane.txt
for server in "::1" "[::1]" "$name"; do
  rm -f "$log"
  pn_start_program "$build" "Primary_Server=$server"$'\n'"Secondary_Server=$server"$'\nLogToFile=1\n' sync
  box=$(pn_wait_window '^Failed to Set System Clock$' 8)
  check "$server: the step is refused (its box shows)" test -n "$box"
  [ -n "$box" ] && x xdotool windowfocus "$box" key Return 2>/dev/null
  for _ in $(seq 50); do [ -s "$log" ] && break; sleep 0.1; done
  # date,time,offset,server,...,F: the server's field exactly as typed.
  check "$server: one log line names the server as typed, with F" \
    awk -F, -v s="$server" 'END { exit !(NR == 1 && $4 == s && $NF ~ /^F\r?$/) }' "$log" 2>/dev/null
  [ -s "$log" ] && sed 's/^/     log: /' "$log"
  if [ -z "$box" ]; then
    for id in $(x xdotool search --onlyvisible --name '' 2>/dev/null); do
      echo "     window open: $(x xdotool getwindowname "$id" 2>/dev/null)"
    done
  fi
  pn_stop_program
done
echo "ipv6_only: $failures check(s) failed"
exit $((failures == 0 ? 0 : 1))
