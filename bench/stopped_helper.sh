#!/usr/bin/env bash
# The real program on a virtual display with its helper stopped (SIGSTOP) before a sync:
# how long the window goes without being painted while the sync waits for the helper's
# answer. The window shows the time to the second, so a window that is never held changes
# about once a second. Runs in a user namespace without CAP_SYS_TIME, so every step is
# refused; the first sync's box is answered, then the helper is stopped and the next sync
# (SyncInterval 8) must end in the time-out's box. Usage: stopped_helper.sh BUILD_DIR
# (KEEP=1 prints the program's own output at the end).
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench/loopback_ntp.sh
. "$here/loopback_ntp.sh"
[ -x "$build/Quorvane" ] || { echo "stopped_helper: $build/Quorvane not built" >&2; exit 1; }

work=$(mktemp -d /tmp/quorvane-stopped-XXXXXX)
display=:$((RANDOM % 400 + 100))
cleanup() {
  [ -n "${helper_pid:-}" ] && kill -CONT "$helper_pid" 2>/dev/null || true
  [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  stop_loopback_ntp
  [ -n "${KEEP:-}" ] && cat "$work/out.txt"; rm -rf "$work"
}
trap cleanup EXIT
ensure_loopback_ntp "$build"

cp "$build/Quorvane" "$build/quorvane-helper" "$work/"
mkdir -p "$work/config/Veltrand"
printf '[Options]\nPrimary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\nSyncInterval=8\nLogToFile=1\n' \
  >"$work/config/Veltrand/Quorvane.conf"

Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
DISPLAY=$display XDG_CONFIG_HOME="$work/config" TZ=UTC \
  setpriv --bounding-set -sys_time -- unshare --user --map-root-user "$work/Quorvane" \
  >"$work/out.txt" 2>&1 &
program_pid=$!

refusal_box() {
  DISPLAY=$display xdotool search --onlyvisible --name '^Failed to Set System Clock$' 2>/dev/null |
    head -1 || true
}
wait_for_box() {
  for _ in $(seq 100); do
    box=$(refusal_box)
    [ -n "$box" ] && return 0
    sleep 0.1
  done
  echo "stopped_helper: no refusal box" >&2
  exit 1
}

wait_for_box
window=$(DISPLAY=$display xdotool search --onlyvisible --name '^Quorvane v' | head -1)
DISPLAY=$display xdotool windowfocus --sync "$box" key Return
for _ in $(seq 50); do [ -z "$(refusal_box)" ] && break; sleep 0.1; done
[ -z "$(refusal_box)" ] || { echo "stopped_helper: the first box stayed open" >&2; exit 1; }
helper_pid=$(pgrep -f "$work/quorvane-helper" | head -1)
[ -n "$helper_pid" ] || { echo "stopped_helper: no helper process" >&2; exit 1; }
kill -STOP "$helper_pid"
echo "helper $helper_pid stopped; sampling the main window until the time-out's box"

# One frame every 50 ms: the longest stretch of identical frames is the longest unpainted time.
last_hash="" last_change=$(date +%s%N) longest=0 started=$(date +%s%N)
while :; do
  now=$(date +%s%N)
  hash=$(DISPLAY=$display xwd -silent -id "$window" | md5sum | cut -d' ' -f1)
  if [ "$hash" != "$last_hash" ]; then
    held=$(((now - last_change) / 1000000))
    [ "$held" -gt "$longest" ] && longest=$held
    last_hash=$hash last_change=$now
  fi
  [ -n "$(refusal_box)" ] && { boxed=$(((now - started) / 1000000)); break; }
  [ $(((now - started) / 1000000000)) -gt 20 ] && { echo "no time-out box in 20 s" >&2; exit 1; }
  sleep 0.05
done
for _ in $(seq 20); do  # the frames after the box opened, so a freeze still going shows too
  now=$(date +%s%N)
  hash=$(DISPLAY=$display xwd -silent -id "$window" | md5sum | cut -d' ' -f1)
  if [ "$hash" != "$last_hash" ]; then
    held=$(((now - last_change) / 1000000))
    [ "$held" -gt "$longest" ] && longest=$held
    last_hash=$hash last_change=$now
  fi
  sleep 0.05
done
echo "the time-out's box opened ${boxed} ms after the helper was stopped"
echo "longest time the window was not painted: ${longest} ms"
echo "log: $(tail -n 2 "$work/Quorvane.txt" | tr '\r\n' '  ')"
kill -0 "$helper_pid" 2>/dev/null && echo "stopped helper still there" || echo "stopped helper ended"
