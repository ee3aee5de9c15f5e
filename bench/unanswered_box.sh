#!/usr/bin/env bash
# The real program with a log it cannot write (a link to /dev/full) and a sync at every tick
# (SyncInterval 0), against loopback NTP, on a virtual display. It runs in a user namespace,
# where setting the clock is refused, so each sync ends in a box. Left unanswered for a while,
# there must be exactly one box, a live process and a stack that has not grown; once the boxes
# are answered, syncing goes on. Usage: unanswered_box.sh BUILD_DIR [SECONDS]
# Best with the sanitizer build (build/asan), where a pile of nested boxes ends in a report.
set -euo pipefail
build=$(cd "$1" && pwd)
wait_s=${2:-120}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench/loopback_ntp.sh
. "$here/loopback_ntp.sh"
[ -x "$build/Quorvane" ] || { echo "unanswered_box: $build/Quorvane not built" >&2; exit 1; }

installed_xdotool=0
if ! command -v xdotool >/dev/null; then
  DEBIAN_FRONTEND=noninteractive apt-get install -y -q --no-install-recommends xdotool >/dev/null
  installed_xdotool=1
fi
work=$(mktemp -d /tmp/quorvane-box-XXXXXX)
display=:$((RANDOM % 400 + 100))
cleanup() {
  [ -n "${program_pid:-}" ] && kill "$program_pid" 2>/dev/null || true
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null || true
  stop_loopback_ntp
  rm -rf "$work"
  if [ "$installed_xdotool" -eq 1 ]; then apt-get purge -y -q xdotool >/dev/null || true; fi
}
trap cleanup EXIT
ensure_loopback_ntp "$build"

# The log lives beside the executable: a copy of the program in a folder of its own.
cp "$build/Quorvane" "$work/Quorvane"
cp "$build/quorvane-helper" "$work/quorvane-helper"  # the clock is stepped through it
ln -s /dev/full "$work/Quorvane.txt"
mkdir -p "$work/config/Veltrand"
printf '[Options]\nPrimary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\nSyncInterval=0\nLogToFile=1\n' \
  > "$work/config/Veltrand/Quorvane.conf"

Xvfb "$display" -screen 0 1024x768x24 >/dev/null 2>&1 &
xvfb_pid=$!
sleep 1
DISPLAY=$display XDG_CONFIG_HOME="$work/config" ASAN_OPTIONS=detect_leaks=0 TZ=UTC \
  unshare --user --map-root-user "$work/Quorvane" >"$work/out.txt" 2>&1 &
program_pid=$!

boxes() {  # the ids of the program's boxes on the display
  DISPLAY=$display xdotool search --onlyvisible --name \
    '^(Failed to Set System Clock|Quorvane|Message from Quorvane)$' 2>/dev/null || true
}
stack_kb() { awk '/^VmStk/ {print $2}' "/proc/$program_pid/status"; }

sleep 5
stack_start=$(stack_kb)
sleep "$wait_s"
alive=no
kill -0 "$program_pid" 2>/dev/null && alive=yes
count=$(boxes | wc -l)
stack_end=$(stack_kb)
echo "after ${wait_s}+5 s: boxes $count, alive $alive, VmStk ${stack_start} -> ${stack_end} kB"

# Answer what is open (the refusal, then the log's write error), then watch for the next sync.
for _ in 1 2 3; do
  for id in $(boxes); do DISPLAY=$display xdotool windowactivate --sync "$id" key Return 2>/dev/null || true; done
  sleep 1
done
answered_at=$(date +%s)
again=no
for _ in $(seq 20); do
  if [ "$(boxes | wc -l)" -gt 0 ]; then again=yes; break; fi
  sleep 0.5
done
echo "after answering: a new sync's box within $(( $(date +%s) - answered_at )) s: $again"
grep -m 3 -E 'ERROR|AddressSanitizer' "$work/out.txt" || true
