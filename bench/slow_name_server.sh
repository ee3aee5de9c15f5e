#!/usr/bin/env bash
# The real program on a virtual display, in a network namespace of the test whose only name
# server reads every query and never answers, with both servers given by name. While the
# lookup runs, and then while the "An error has occurred upon Connect():" box waits, the time
# display must change at least once a second (the clock area of screenshots 0.5 s apart), and
# during the lookup the window must open its File menu within 200 ms of Alt+F. A measurement
# of how the window answers, so it is a benchmark, run by ./quorvane.sh bench; it exits 1 when
# a goal is missed and 77 where no namespace or X server can be had.
# Usage: slow_name_server.sh PROGRAM_DIR (holding Quorvane and quorvane-helper)
set -uo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
support=$here/../tests/support
work=$(mktemp -d /tmp/quorvane-slowdns-XXXXXX)
# shellcheck source=tests/support/program_netns.sh
. "$support/program_netns.sh"
trap 'pn_cleanup; rm -rf "$work"' EXIT
trap 'exit 130' INT TERM

# A frame counts as the same display for at most this long: the text changes every second and
# is painted at the 200 ms tick, so two frames 1.2 s apart may still show the same second.
still_limit_s=1.3
menu_limit_ms=200
failures=0
check() {  # description, command...
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}

for tool in xdotool xwd xwdtopnm pamcut xprop Xvfb /usr/bin/python3; do
  command -v "$tool" >/dev/null || { echo "slow_name_server: $tool is missing" >&2; exit 77; }
done
# The lookup fails after 2 s, before the attempt's 3 s time-out, so the Connect() box opens.
pn_make_netns "qvdns$$" $'nameserver 127.0.0.1\noptions timeout:2 attempts:1' ||
  { echo "slow_name_server: no network namespace can be made" >&2; exit 77; }
pn_spawn_in_ns /usr/bin/python3 "$support/dns_stub.py" drop 127.0.0.1 "$work/queries.txt"
pn_start_x || { echo "slow_name_server: no X server" >&2; exit 77; }
for _ in $(seq 50); do pn_in_ns ss -lunH 'sport = :53' | grep -q . && break; sleep 0.1; done

now() { date +%s.%N; }
pn_start_program "$build" $'Primary_Server=time.quorvane.test\nSecondary_Server=time2.quorvane.test\nLogToFile=0\n'
window=$(pn_wait_window '^Quorvane v2\.0$' 15)
[ -n "$window" ] || { echo "FAIL the main window did not show"; sed 's/^/  program: /' "$work/program.txt"; exit 1; }

# The clock area of the main window, every 0.5 s, until told to stop: frames/N.pnm and an index
# of capture times. Below the menu bar and buttons, above the status bar (500 x 190 frame).
mkdir -p "$work/frames"
sample_frames() {
  local n=0 t
  while [ ! -e "$work/stop-frames" ]; do
    t=$(now)
    x xwd -silent -id "$window" 2>/dev/null | xwdtopnm 2>/dev/null |
      pamcut -top 50 -height 105 >"$work/frames/$n.pnm" 2>/dev/null && echo "$t $n" >>"$work/frames/index"
    n=$((n + 1))
    sleep "$(awk -v t="$t" -v n="$(now)" 'BEGIN { d = 0.5 - (n - t); print (d > 0 ? d : 0) }')"
  done
}
sample_frames &
sampler=$!
pn_pids+=("$sampler")

# The first query shows the lookup under way.
for _ in $(seq 100); do [ -s "$work/queries.txt" ] && break; sleep 0.05; done
check "the program asked the name server for the primary" grep -q 'time\.quorvane\.test' "$work/queries.txt"
lookup_start=$(awk 'NR == 1 { print $1 }' "$work/queries.txt")

# Alt+F during the lookup: the File menu is a new mapped popup of the program.
popup_menus() {
  local id
  for id in $(x xdotool search --onlyvisible --name '' 2>/dev/null); do
    pn_is_popup_menu "$id" && echo "$id"
  done
}
key_sent=$(now)
x xdotool windowfocus "$window" key alt+f 2>/dev/null
menu_ms=""
while awk -v s="$key_sent" -v n="$(now)" 'BEGIN { exit !(n - s < 1.0) }'; do
  if [ -n "$(popup_menus)" ]; then
    menu_ms=$(awk -v s="$key_sent" -v n="$(now)" 'BEGIN { printf "%.0f", (n - s) * 1000 }')
    break
  fi
  sleep 0.01
done
if [ -n "$menu_ms" ]; then echo "     the File menu opened after $menu_ms ms"; else echo "     the File menu did not open within 1000 ms"; fi
check "the File menu opens within $menu_limit_ms ms during the lookup" \
  test -n "$menu_ms" -a "${menu_ms:-9999}" -le "$menu_limit_ms"
x xdotool key Escape 2>/dev/null

# The box, moved off the window so that the clock area can be seen.
box=$(pn_wait_window '^Quorvane$' 15)
box_seen=$(now)
check "the box opened" test -n "$box"
if [ -n "$box" ]; then
  sleep 0.3 # its text may not be drawn yet; the name is the caption's
  x xdotool windowmove "$box" 0 0 2>/dev/null
fi
box_moved=$(now)
sleep 4.2
touch "$work/stop-frames"
wait "$sampler" 2>/dev/null

# The longest run of identical consecutive frames in [from, to): its span in seconds, and the
# number of frames judged.
longest_still() {  # from to
  local prev="" t n start="" last="" count=0 longest=0
  while read -r t n; do
    awk -v t="$t" -v a="$1" -v b="$2" 'BEGIN { exit !(t >= a && t < b) }' || continue
    count=$((count + 1))
    if [ -n "$prev" ] && cmp -s "$work/frames/$prev.pnm" "$work/frames/$n.pnm"; then
      last=$t
    else
      start=$t
      last=$t
    fi
    longest=$(awk -v l="$longest" -v s="$start" -v e="$last" 'BEGIN { d = e - s; print (d > l ? d : l) }')
    prev=$n
  done <"$work/frames/index"
  echo "$longest $count"
}
judge_phase() {  # name from to
  local result still count
  result=$(longest_still "$2" "$3")
  still=${result% *}
  count=${result#* }
  echo "     $1: $count frames over $(awk -v a="$2" -v b="$3" 'BEGIN { printf "%.1f", b - a }') s, the display stood still for ${still} s at most"
  check "$1: at least 3 frames" test "$count" -ge 3
  check "$1: the time display changes at least once a second" \
    awk -v s="$still" -v l="$still_limit_s" 'BEGIN { exit !(s <= l) }'
}
judge_phase "during the lookup" "$lookup_start" "$box_seen"
[ -n "$box" ] && judge_phase "with the Connect() box open" "$box_moved" "$(now)"

if [ -n "$box" ]; then
  x xdotool windowfocus "$box" key Return 2>/dev/null
fi
if [ "$failures" -ne 0 ]; then
  sed 's/^/  program: /' "$work/program.txt" | grep -v XDG_RUNTIME_DIR
  sed 's/^/  query: /' "$work/queries.txt"
fi
echo "slow_name_server: $failures check(s) failed"
exit $((failures == 0 ? 0 : 1))
