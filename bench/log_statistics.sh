#!/bin/sh
# The statistics pass over a page-cached 200 MB log beside wc -l and an awk one-liner that
# computes the same count, sum and extremes; resident memory after a 1 MB and a 200 MB
# pass; the time from command 40044 to the dialog being shown for the 200 MB log.
# Usage: bench/log_statistics.sh [build directory]
set -eu
build=${1:-build}
dir=$(mktemp -d /tmp/quorvane-bench-stats-XXXXXX)
trap 'rm -rf "$dir"' EXIT INT TERM

make_log() {  # $1 file, $2 megabytes
  awk -v limit=$(($2 * 1048576)) 'BEGIN {
    split("time.example.org ntp1.example.net Broadcast 192.0.2.10", src, " ")
    for (i = 0; size < limit; i++) {
      line = sprintf("2009/07/04,14:%02d:%02d,%+f,%s,15,M,%s\r", int(i / 60) % 60, i % 60,
                     ((i * 37) % 2001 - 1000) / 10000.0, src[i % 4 + 1], (i % 23 == 5) ? "F" : "S")
      print line
      size += length(line) + 1
    }
  }' > "$1"
}

best_of_3() {  # prints the best wall time in seconds of three runs of "$@"
  best=
  for _ in 1 2 3; do
    start=$(date +%s.%N)
    "$@" > /dev/null
    end=$(date +%s.%N)
    t=$(echo "$end - $start" | bc)
    if [ -z "$best" ] || [ "$(echo "$t < $best" | bc)" = 1 ]; then best=$t; fi
  done
  echo "$best"
}

make_log "$dir/1mb.txt" 1
make_log "$dir/200mb.txt" 200
cat "$dir/200mb.txt" > /dev/null
echo "log: $(wc -c < "$dir/200mb.txt") bytes, $(wc -l < "$dir/200mb.txt") lines"

awk_stats() {
  LC_ALL=C awk -F, 'NF == 7 { x = $3 + 0; m = x < 0 ? -x : x; n++; s += m
    if (m > big) big = m; if (n == 1 || m < small) small = m
    if (x > pos) pos = x; if (x < neg) neg = x }
    END { printf "%d %f %f %f %f %f\n", n, s, big, small, pos, neg }' "$1"
}

wc_s=$(best_of_3 wc -l "$dir/200mb.txt")
awk_s=$(best_of_3 awk_stats "$dir/200mb.txt")
pass_s=$(best_of_3 "$build/bench/log_statistics_bench" --pass "$dir/200mb.txt")
echo "wc -l:             $wc_s s"
echo "awk one-liner:     $awk_s s"
echo "statistics pass:   $pass_s s   ($(echo "scale=2; $pass_s / $wc_s" | bc) x wc -l," \
     "$(echo "scale=1; $awk_s / $pass_s" | bc) x faster than awk)"
echo "1 MB pass:   $("$build/bench/log_statistics_bench" --pass "$dir/1mb.txt")"
echo "200 MB pass: $("$build/bench/log_statistics_bench" --pass "$dir/200mb.txt")"
QT_QPA_PLATFORM=offscreen "$build/bench/logging_dialog_open" "$dir/200mb.txt"
