#!/usr/bin/env bash
# Authenticated time, measured against chrony serving NTS in a network namespace of its own
# (tests/support/nts_netns.sh; it never touches the clock): key establishment, the time NTS
# adds to one poll (nts_bench), and the real program's resident memory at idle with NTS on
# against off. The program runs in a user namespace without CAP_SYS_TIME.
# Usage: nts.sh BUILD_DIR [SECONDS]
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-10}
here=$(cd "$(dirname "$0")" && pwd)
netns="$here/../tests/support/nts_netns.sh"

status=0
"$netns" chrony "$build/bench/nts_timing" || status=$?
# 77: no network namespaces here (not root), so nothing to measure against.
if [ "$status" -eq 77 ]; then echo "nts: no network namespaces, skipped"; exit 0; fi
[ "$status" -eq 0 ] || exit "$status"

[ -x "$build/Quorvane" ] || { echo "nts idle memory: no $build/Quorvane, skipped"; exit 0; }
# One run of the program with Use_NTS set as given: its resident memory after SECONDS.
idle_rss() {  # use_nts
  "$netns" chrony bash -c '
    work=$(mktemp -d)
    mkdir -p "$work/config/Veltrand" "$work/prog"
    cp "$1/Quorvane" "$work/prog/"
    printf "[Options]\nPrimary_Server=localhost\nSecondary_Server=localhost\nSyncInterval=86400\nLogToFile=0\nNotify_User=0\nMinimizeToTray=0\nUse_NTS=%s\nNTS_Trust_File=%s\n" \
      "$2" "$QUORVANE_NTS_TRUST" >"$work/config/Veltrand/Quorvane.conf"
    QT_QPA_PLATFORM=offscreen XDG_CONFIG_HOME="$work/config" \
      setpriv --bounding-set -sys_time -- unshare --user --map-root-user "$work/prog/Quorvane" &
    pid=$!
    sleep "$3"
    awk "/^VmRSS:/ { print \$2 }" /proc/$pid/status
    kill $pid; wait $pid 2>/dev/null
    rm -rf "$work"' _ "$build" "$1" "$seconds"
}
off=$(idle_rss 0)
on=$(idle_rss 1)
echo "idle resident memory after ${seconds}s: NTS off ${off} kB, NTS on ${on} kB ($((on - off)) kB more)"
