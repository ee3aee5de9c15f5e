#!/usr/bin/env bash
# How long the window's thread is blocked during 20 syncs against a server given by name whose
# name server answers after 2 s: bench/slow_lookup_block (the real program's wiring on a virtual
# clock) in a user namespace inside a network namespace of its own, with a scripted name server
# on 127.0.0.1:53 (A 127.0.0.1, AAAA ::1 for time.quorvane.test, each after 2 s) and a chrony -x
# on both loopback addresses. Everything is removed afterwards.
# Usage: slow_lookup.sh BUILD_DIR
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
support=$here/../tests/support
bench=$build/bench/slow_lookup_block
[ -x "$bench" ] || { echo "slow_lookup: $bench not built" >&2; exit 1; }
work=$(mktemp -d /tmp/quorvane-slowlookup-XXXXXX)
# shellcheck source=tests/support/program_netns.sh
. "$support/program_netns.sh"
trap '"$support/chrony.sh" stop "$work/chrony" 2>/dev/null; pn_cleanup; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

pn_make_netns "qvlookup$$" $'nameserver 127.0.0.1\noptions timeout:5 attempts:1' ||
  { echo "slow_lookup: no network namespace can be made; not measured" >&2; exit 0; }
pn_in_ns "$support/chrony.sh" start "$work/chrony" || exit 1
pn_spawn_in_ns /usr/bin/python3 "$support/dns_stub.py" answer 127.0.0.1 "$work/queries.txt" \
  2 time.quorvane.test 127.0.0.1 ::1
for _ in $(seq 50); do pn_in_ns ss -lunH 'sport = :53' | grep -q . && break; sleep 0.1; done
pn_in_ns env QT_QPA_PLATFORM=offscreen TZ=UTC unshare --user --map-root-user "$bench" 2>"$work/err.txt"
status=$?
echo "  (the name server was asked $(wc -l <"$work/queries.txt") times)"
[ "$status" -ne 0 ] && grep -v XDG_RUNTIME_DIR "$work/err.txt" | tail -5 >&2
exit "$status"
