#!/usr/bin/env bash
# Listen mode under a bounded flood: inside the broadcast namespaces of
# tests/support/listen_netns.sh, the program listens for 10 s of chrony's broadcasts alone,
# then for 10 s while about 20 000 datagrams a second that cannot be a broadcast (client
# requests, control and private messages, unsynchronised senders, stratum 0, all an hour
# ahead) arrive from the broadcaster's namespace. Usage: listen_flood.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
bench="$build/bench/listen_flood"
[ -x "$bench" ] || { echo "listen_flood: $bench not built" >&2; exit 1; }
PEER_COMMAND="sleep 10.5; $bench --flood 10.123.0.2 20000 10" QT_QPA_PLATFORM=offscreen \
  TZ=UTC "$here/../tests/support/listen_netns.sh" "$bench" --listen 10 10
