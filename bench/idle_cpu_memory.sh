#!/usr/bin/env bash
# Idle CPU and resident memory of the running program over a window of seconds, each as a
# ratio to a minimal Qt window that repaints every 200 ms; the memory of the program's helper,
# when it has started one, counts with the program's. Both run without CAP_SYS_TIME in a user
# namespace (the program and its helper can never set the clock there), with loopback servers
# and a day's interval.
# Usage: idle_cpu_memory.sh BUILD_DIR [SECONDS] [offscreen|xvfb]...
set -euo pipefail
build=$(cd "$1" && pwd)
seconds=${2:-30}
shift $(($# < 2 ? $# : 2))
platforms=("$@")
[ ${#platforms[@]} -gt 0 ] || platforms=(offscreen xvfb)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench/loopback_ntp.sh
. "$here/loopback_ntp.sh"
ensure_loopback_ntp "$build"

work=$(mktemp -d)
pids=()
cleanup() {
  for p in "${pids[@]}"; do kill "$p" 2>/dev/null || true; done
  rm -rf "$work"
}
trap 'cleanup; stop_loopback_ntp' EXIT

mkdir -p "$work/config/Veltrand"
# The first sync asks for a step, which starts the helper; the kernel refuses it (the
# "Failed to Set System Clock" box stays open, a little more memory than a program at rest).
printf '[Options]\nPrimary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\nSyncInterval=86400\nLogToFile=0\nNotify_User=0\nMinimizeToTray=0\n' \
  >"$work/config/Veltrand/Quorvane.conf"

# CPU nanoseconds of every thread of the process (scheduler accounting, finer than ticks).
cpu_ns() { cat /proc/"$1"/task/*/schedstat 2>/dev/null | awk '{ sum += $1 } END { printf "%d", sum }'; }
rss_kb() { awk '/^VmRSS:/ { print $2 }' "/proc/$1/status"; }
# Resident pages no other process shares: the helper's cost beside a program that has the same
# libraries resident already.
private_kb() { awk '/^Private_(Clean|Dirty):/ { sum += $2 } END { print sum + 0 }' "/proc/$1/smaps_rollup"; }
# The helper the program started, if any: its resident and its private memory, or "0 0".
helper_kb() {
  local helper
  helper=$(pgrep -P "$1" -x quorvane-helper | head -n 1 || true)
  if [ -n "$helper" ]; then echo "$(rss_kb "$helper") $(private_kb "$helper")"; else echo "0 0"; fi
}

measure() {  # platform
  local platform=$1 display_env=() xvfb_pid=""
  if [ "$platform" = xvfb ]; then
    command -v Xvfb >/dev/null || { echo "idle ($platform): Xvfb missing, skipped"; return 0; }
    local n=$((90 + RANDOM % 100))
    while [ -e "/tmp/.X$n-lock" ]; do n=$((n + 1)); done
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp >/dev/null 2>&1 &
    xvfb_pid=$!
    pids+=("$xvfb_pid")
    for _ in $(seq 50); do [ -e "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
    display_env=(DISPLAY=":$n" QT_QPA_PLATFORM=xcb)
  else
    display_env=(QT_QPA_PLATFORM=offscreen)
  fi
  env "${display_env[@]}" XDG_CONFIG_HOME="$work/config" \
    setpriv --bounding-set -sys_time -- unshare --user --map-root-user "$build/Quorvane" \
    >/dev/null 2>&1 &
  local program=$!
  env "${display_env[@]}" unshare --user --map-root-user "$build/bench/qt_minimal_window" \
    >/dev/null 2>&1 &
  local minimal=$!
  pids+=("$program" "$minimal")
  sleep 3  # start-up and the first sync are not idle
  local p0 m0 p1 m1
  p0=$(cpu_ns "$program")
  m0=$(cpu_ns "$minimal")
  sleep "$seconds"
  p1=$(cpu_ns "$program")
  m1=$(cpu_ns "$minimal")
  local prss hrss hpriv mrss
  prss=$(rss_kb "$program")
  read -r hrss hpriv < <(helper_kb "$program")
  mrss=$(rss_kb "$minimal")
  kill "$program" "$minimal" 2>/dev/null || true
  wait "$program" "$minimal" 2>/dev/null || true
  [ -n "$xvfb_pid" ] && { kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; }
  awk -v pl="$platform" -v s="$seconds" -v ns=1000000000 -v pc=$((p1 - p0)) -v mc=$((m1 - m0)) \
    -v pr="$prss" -v hr="$hrss" -v hp="$hpriv" -v mr="$mrss" 'BEGIN {
      helper = hr > 0 ? sprintf("%d kB (%d kB its own)", hr, hp) : "not running"
      printf "idle (%s, %d s): Quorvane %.2f s CPU (%.2f%%), %d kB resident, its helper %s, together %d kB; minimal window %.2f s CPU (%.2f%%), %d kB; ratios CPU %s, memory %.2f, with the helper'"'"'s own pages only %.2f (aim <= 2, <= 1.3)\n",
        pl, s, pc / ns, 100 * pc / ns / s, pr, helper, pr + hr, mc / ns, 100 * mc / ns / s, mr,
        (mc > 0 ? sprintf("%.2f", pc / mc) : "n/a"), (pr + hr) / mr, (pr + hp) / mr
    }'
}

for platform in "${platforms[@]}"; do measure "$platform"; done
