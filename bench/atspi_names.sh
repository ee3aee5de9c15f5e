#!/usr/bin/env bash
# The real program read from outside through AT-SPI, as a screen reader reads it: every window's
# interactive controls named, every field labelled (bench/atspi_names.py prints the table).
# Everything runs in a user namespace that cannot set the clock, with a network namespace of its
# own (the program, its display and both buses meet only there), on a virtual display, with a
# private session bus. Usage: atspi_names.sh BUILD_DIR
set -euo pipefail
build=$(cd "$1" && pwd)
here=$(cd "$(dirname "$0")" && pwd)
[ -x "$build/Quorvane" ] || { echo "atspi_names: $build/Quorvane not built" >&2; exit 1; }

work=$(mktemp -d /tmp/quorvane-atspi-XXXXXX)
trap 'rm -rf "$work"' EXIT
# The log and the server list live beside the executable: a copy in a folder of its own.
cp "$build/Quorvane" "$build/quorvane-helper" "$work/"
cp "$here/../src/resources/Quorvane.ini" "$work/"
mkdir -p "$work/config/Veltrand"
printf '[Options]\nSyncInterval=0\nLogToFile=1\n' > "$work/config/Veltrand/Quorvane.conf"
printf '2009/07/04,14:00:00,+0.500000,ntp1.example.net,1,H,S\r\n' > "$work/Quorvane.txt"

cat > "$work/session.sh" <<'INNER'
set -eu
export QT_LINUX_ACCESSIBILITY_ALWAYS_ON=1 QT_QPA_PLATFORM=xcb XDG_CONFIG_HOME="$WORK/config"
"$WORK/Quorvane" & program=$!
status=0
/usr/bin/python3 "$HERE/atspi_names.py" || status=$?
kill "$program" 2>/dev/null || true
wait "$program" 2>/dev/null || true
exit "$status"
INNER
WORK=$work HERE=$here setpriv --bounding-set -sys_time -- \
  unshare --user --map-root-user --net -- bash -c \
  'ip link set lo up; xvfb-run -a dbus-run-session -- bash "$WORK/session.sh"'
