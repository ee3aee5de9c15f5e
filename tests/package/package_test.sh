#!/usr/bin/env bash
# The Debian package end to end, as root: install it with apt, check the group, the modes,
# the capabilities and the desktop files; run the INSTALLED program for a one-shot sync
# against a chrony of its own and see the clock change refused with the system's text,
# through the helper; purge it and check that nothing is left.
# The box is found by its title, which only a refused clock change shows. Qt copies a message
# box's text with Ctrl+C on Windows only, so its text is read off the screen: the window is
# captured with xwd, enlarged with netpbm and read with tesseract, installed for the test only.
#
# Why no step can set the real clock:
# - the program (and so the helper it starts) runs under setpriv --bounding-set -sys_time
#   and unshare --user --map-root-user: CAP_SYS_TIME is out of the bounding set, so even the
#   helper's file capability cannot grant it, and a user namespace's capabilities never
#   reach the clock, which belongs to the initial namespace. The kernel answers EPERM.
# - chronyd runs with -x, which never touches the clock, in a network namespace made here,
#   so it serves nobody else and binds no port 123 of this machine (where no namespace can
#   be made, on 127.0.0.1:123 only, as the other chrony tests run it).
# - postinst only runs addgroup, chown, chmod and setcap; apt-get installs nothing else
#   from the package.
# Usage: package_test.sh DEB
set -uo pipefail
deb=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
opt=/opt/quorvane
helper=$opt/quorvane-helper
id=example.veltrand.quorvane
icon_sizes="16 22 24 32 48 64 128 256"
if [ "$(id -u)" -ne 0 ]; then
  echo "package_test: not root; the package cannot be installed, skipped."
  exit 0
fi
if dpkg-query -W -f='${Status}' quorvane 2>/dev/null | grep -q "ok installed" || [ -e $opt ]; then
  echo "package_test: quorvane is already installed; remove it first (apt-get purge quorvane)." >&2
  exit 1
fi

failures=0
check() {  # description, command...
  local what=$1
  shift
  if "$@"; then echo "ok   $what"; else echo "FAIL $what"; failures=$((failures + 1)); fi
}
export DEBIAN_FRONTEND=noninteractive
work=$(mktemp -d /tmp/quorvane-package-XXXXXX)
ns=qvpkg$$
installed_tools=()
cleanup() {
  [ -n "${program_pid:-}" ] && kill -KILL "$program_pid" 2>/dev/null
  [ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null
  "$here/../support/chrony.sh" stop "$work/chrony" 2>/dev/null
  ip netns del "$ns" 2>/dev/null
  if dpkg-query -W quorvane >/dev/null 2>&1; then apt-get purge -y -q quorvane >/dev/null 2>&1; fi
  if [ ${#installed_tools[@]} -gt 0 ]; then
    apt-get purge -y -q -o DPkg::Lock::Timeout=300 "${installed_tools[@]}" >/dev/null 2>&1
  fi
  rm -rf "$work"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

echo "== install $deb"
started=$(date +%s)
apt-get install -y -q "$deb" >"$work/install.txt" 2>&1 || { cat "$work/install.txt"; exit 1; }
grep '^quorvane:' "$work/install.txt"
dpkg-query -L quorvane | sort >"$work/files.txt"

check "getcap: the helper holds cap_net_bind_service,cap_sys_time=p" \
  test "$(getcap $helper)" = "$helper cap_net_bind_service,cap_sys_time=p"
check "getcap: the window program holds nothing" test -z "$(getcap $opt/Quorvane)"
check "group quorvane exists" test -n "$(getent group quorvane)"
check "helper root:quorvane 0750" test "$(stat -c '%U:%G %a' $helper)" = "root:quorvane 750"
check "folder root:quorvane 2775" test "$(stat -c '%U:%G %a' $opt)" = "root:quorvane 2775"
check "/usr/bin/quorvane -> $opt/Quorvane" test "$(readlink /usr/bin/quorvane)" = "$opt/Quorvane"
check "shipped server list" test -s $opt/Quorvane.ini
check "desktop entry" test -f /usr/share/applications/$id.desktop
check "metainfo" test -f /usr/share/metainfo/$id.metainfo.xml
for size in $icon_sizes; do
  check "icon ${size}x$size" test -f /usr/share/icons/hicolor/${size}x$size/apps/$id.png
done
check "the server list is a conffile" \
  grep -q "$opt/Quorvane.ini" <(dpkg-query -W -f='${Conffiles}' quorvane)

installed_packages() { dpkg-query -W -f='${Package}\n' | sort; }

install_tool() {  # command [package]: installed for this test only, purged afterwards with what it pulled
  command -v "$1" >/dev/null && return 0
  installed_packages >"$work/before.txt"
  apt-get install -y -q --no-install-recommends -o DPkg::Lock::Timeout=300 "${2:-$1}" \
    >/dev/null 2>&1 || return 1
  mapfile -t -O "${#installed_tools[@]}" installed_tools < <(comm -13 "$work/before.txt" <(installed_packages))
}

# The window's text as OCR reads it: lower case, blanks squeezed. Enlarged and grey first, as
# tesseract reads small screen type poorly.
read_window_text() {  # window
  DISPLAY=$display xwd -silent -id "$1" >"$work/box.xwd" 2>/dev/null || return 1
  xwdtopnm "$work/box.xwd" 2>/dev/null | ppmtopgm | pamscale 4 >"$work/box.pgm" 2>/dev/null || return 1
  OMP_THREAD_LIMIT=1 tesseract "$work/box.pgm" stdout 2>/dev/null | tr '[:upper:]' '[:lower:]' |
    tr -s '[:space:]' ' ' | sed 's/^ //; s/ $//'
}

# The box may be mapped before its text is drawn, so it is read again until the text shows.
box_text_shows() {  # window, text in lower case
  local seen=""
  for _ in $(seq 10); do
    seen=$(read_window_text "$1")
    [[ "$seen" == *"$2"* ]] && break
    sleep 0.5
  done
  echo "  box text read: ${seen:-(nothing)}"
  [[ "$seen" == *"$2"* ]]
}

helper_children() {  # the program's children that are the installed helper
  for child in $(ps -o pid= --ppid "$program_pid"); do
    [ "$(readlink "/proc/$child/exe")" = "$helper" ] && echo "$child"
  done
}

# The installed program, one-shot sync against 127.0.0.1 in the test's own network namespace
# (and so its own single-instance name), on a virtual display.
run_installed_program() {
  local tool
  for tool in xdotool xwd:x11-apps xwdtopnm:netpbm tesseract:tesseract-ocr; do
    install_tool "${tool%%:*}" "${tool#*:}" ||
      { echo "FAIL cannot install ${tool#*:}"; failures=$((failures + 1)); return 1; }
  done
  [ ${#in_ns[@]} -gt 0 ] && ip -n "$ns" link set lo up
  "${in_ns[@]}" "$here/../support/chrony.sh" start "$work/chrony" || return 1
  mkdir -p "$work/config/Veltrand"
  printf '[Options]\nPrimary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\n' \
    >"$work/config/Veltrand/Quorvane.conf"
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$work/display" >/dev/null 2>&1 &
  xvfb_pid=$!
  for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
  display=:$(cat "$work/display")
  DISPLAY=$display XDG_CONFIG_HOME=$work/config HOME=$work TZ=UTC "${in_ns[@]}" \
    /usr/bin/setpriv --bounding-set -sys_time -- /usr/bin/unshare --user --map-root-user \
    /usr/bin/quorvane sync >"$work/program.txt" 2>&1 &
  program_pid=$!
  local box=""
  for _ in $(seq 60); do
    box=$(DISPLAY=$display xdotool search --onlyvisible --name '^Failed to Set System Clock$' \
      2>/dev/null | head -n1)
    [ -n "$box" ] && break
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.5
  done
  check "the program runs from $opt" test "$(readlink "/proc/$program_pid/exe")" = "$opt/Quorvane"
  # Only 127.0.0.1, from the profile Veltrand/Quorvane.conf, can answer in the namespace; the
  # kernel refuses the step there with EPERM, "Operation not permitted".
  check "the box \"Failed to Set System Clock\" appeared" test -n "$box"
  [ -n "$box" ] && check "the box says \"Operation not permitted\"" \
    box_text_shows "$box" "operation not permitted"
  check "a quorvane-helper child of the program runs" test -n "$(helper_children)"
  kill "$program_pid" 2>/dev/null
  wait "$program_pid" 2>/dev/null
  program_pid=""
  [ -z "$box" ] && sed 's/^/  program: /' "$work/program.txt"
  return 0
}

echo "== run the installed program (user namespace, no CAP_SYS_TIME in the bounding set)"
# A network namespace of its own keeps chrony off this machine's port 123; where none can be
# made, chrony serves 127.0.0.1:123 here, as for the other chrony tests.
in_ns=(ip netns exec "$ns")
if ! ip netns add "$ns" 2>/dev/null; then
  echo "  (no network namespace can be made here: chrony serves this machine's loopback)"
  in_ns=()
fi
run_installed_program
"$here/../support/chrony.sh" stop "$work/chrony"
ip netns del "$ns" 2>/dev/null
[ -n "${xvfb_pid:-}" ] && kill "$xvfb_pid" 2>/dev/null

echo "== remove keeps what users made, purge removes everything"
apt-get remove -y -q quorvane >/dev/null 2>&1
check "remove: the server list stays" test -f $opt/Quorvane.ini
check "remove: the group stays" test -n "$(getent group quorvane)"
apt-get purge -y -q quorvane >/dev/null 2>&1
left=$(while read -r f; do
  if [ -L "$f" ] || { [ -e "$f" ] && [ ! -d "$f" ]; }; then echo "$f"; fi
done <"$work/files.txt")
check "purge: no file of the package left" test -z "$left"
check "purge: no $opt" test ! -e $opt
check "purge: no group quorvane" test -z "$(getent group quorvane)"
check "purge: no capability left" test -z "$(getcap -r /opt /usr/bin 2>/dev/null | grep -i quorvane)"
[ -n "$left" ] && echo "left: $left"

echo "package_test: $failures failed, $(($(date +%s) - started)) s"
[ "$failures" -eq 0 ]
