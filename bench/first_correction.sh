#!/usr/bin/env bash
# Time from process start to the first clock correction: the real program logic in-process
# on a virtual clock (the first correction it applies), against loopback NTP.
# Usage: first_correction.sh BUILD_DIR [RUNS]
set -euo pipefail
build=$(cd "$1" && pwd)
runs=${2:-15}
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=bench/loopback_ntp.sh
. "$here/loopback_ntp.sh"
ensure_loopback_ntp "$build"
trap stop_loopback_ntp EXIT
program="$build/bench/qt_first_correction"
[ -x "$program" ] || { echo "first_correction: $program not built" >&2; exit 1; }

results=()
for _ in $(seq "$runs"); do
  results+=("$(QT_QPA_PLATFORM=offscreen TZ=UTC "$program" 2>/dev/null)")
done
printf '%s\n' "${results[@]}" | awk -v runs="$runs" '
  { start[NR] = $1; main[NR] = $2; off[NR] = ($3 < 0 ? -$3 : $3) }
  function median(a, n,   i, j, t) {
    for (i = 1; i <= n; i++) for (j = i + 1; j <= n; j++) if (a[j] < a[i]) { t = a[i]; a[i] = a[j]; a[j] = t }
    return n % 2 ? a[(n + 1) / 2] : (a[n / 2] + a[n / 2 + 1]) / 2
  }
  END {
    n = NR
    for (i = 1; i <= n; i++) { s[i] = start[i]; m[i] = main[i]; o[i] = off[i] }
    ms = median(s, n); mm = median(m, n); mo = median(o, n)
    maxs = 0; for (i = 1; i <= n; i++) if (start[i] > maxs) maxs = start[i]
    printf "first correction, %d runs: median %.0f ms from process start (max %.0f, 10 ms steps), %.1f ms from main(); clock error after it %d ms (median); aim < 500 ms\n", n, ms, maxs, mm, mo
  }'
