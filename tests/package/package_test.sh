#!/usr/bin/env bash
# The Debian package end to end, as root. lintian first; then a stand-in of the 2.0 package
# (old_layout_package.sh) is installed and a member of the group quorvane writes a log and
# changes the server list in /opt/quorvane, as 2.0 let members do; the upgrade to DEB must
# keep both. Then: the group, the modes and the capabilities; nothing installed is writable by
# group or others, and that member can rename, replace or add no file anywhere the package
# installed; the INSTALLED program, run by that member for a one-shot sync against a chrony of
# its own, sees the clock change refused through the helper and writes its log line into the
# member's data folder; remove, then purge, and nothing is left.
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
# - the maintainer scripts only run addgroup, chown, chmod, setcap, mv and rm; apt-get
#   installs nothing else from the package.
# Usage: package_test.sh DEB
set -uo pipefail
deb=$(realpath "$1")
here=$(cd "$(dirname "$0")" && pwd)
# shellcheck source=tests/support/x_server.sh
. "$here/../support/x_server.sh"
lib=/usr/lib/quorvane
helper=$lib/quorvane-helper
list=/etc/quorvane/Quorvane.ini
old=/opt/quorvane
kept=/var/lib/quorvane/2.0
id=example.veltrand.quorvane
icon_sizes="16 22 24 32 48 64 128 256"
if [ "$(id -u)" -ne 0 ]; then
  echo "package_test: not root; the package cannot be installed, skipped."
  exit 0
fi
if dpkg-query -W -f='${Status}' quorvane 2>/dev/null | grep -q "ok installed" ||
  [ -e $lib ] || [ -e $old ] || [ -e /etc/quorvane ] || [ -e /var/lib/quorvane ]; then
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
home=$(mktemp -d /tmp/quorvane-member-XXXXXX)
member=qvmember$$
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
  id "$member" >/dev/null 2>&1 && userdel "$member" 2>/dev/null
  rm -rf "$work" "$home"
}
trap cleanup EXIT
trap 'exit 130' INT TERM
started=$(date +%s)

# The member: a real user, in the group quorvane once 2.0 has made it.
useradd --home-dir "$home" --no-create-home --shell /usr/sbin/nologin --user-group "$member"
chown "$member:" "$home"
as_member() { setpriv --reuid="$member" --regid="$member" --init-groups -- env HOME="$home" "$@"; }

echo "== lintian $(basename "$deb")"
lintian --tag-display-limit 0 "$deb" 2>&1 | grep -v 'running with root privileges' >"$work/lintian.txt"
sed 's/^/  /' "$work/lintian.txt"
check "lintian: no errors" test -z "$(grep '^E:' "$work/lintian.txt")"

echo "== install a 2.0 package; a member writes a log and changes the list beside the program"
"$here/old_layout_package.sh" "$deb" "$work/quorvane_2.0.deb" || exit 1
apt-get install -y -q "$work/quorvane_2.0.deb" >"$work/install-2.0.txt" 2>&1 ||
  { cat "$work/install-2.0.txt"; exit 1; }
usermod -a -G quorvane "$member"
chmod 0711 "$work" # the member reads the files below by name
printf '2026/12/01,10:00:00,+0.125000,192.0.2.10,1,H,S\r\n' >"$work/log.txt"
printf '2026/11/01,10:00:00,-0.250000,192.0.2.10,1,H,S\r\n' >"$work/backup.txt"
printf 'standard,192.0.2.10\r\ncustom,192.0.2.99\r\n' >"$work/list.txt"
as_member sh -c "cat $work/log.txt >$old/Quorvane.txt && cat $work/backup.txt >$old/Quorvane.txt.1 &&
  cat $work/list.txt >$old/Quorvane_temp.ini && mv -f $old/Quorvane_temp.ini $old/Quorvane.ini" ||
  { echo "FAIL the member could not write into $old under 2.0"; exit 1; }

echo "== upgrade to $(basename "$deb")"
apt-get install -y -q "$deb" >"$work/install.txt" 2>&1 || { cat "$work/install.txt"; exit 1; }
grep '^quorvane:' "$work/install.txt" | sed 's/^/  /'
check "upgrade: the member's log is kept in $kept" cmp -s "$work/log.txt" $kept/Quorvane.txt
check "upgrade: its backup too" cmp -s "$work/backup.txt" $kept/Quorvane.txt.1
check "upgrade: says where it kept them" grep -q "$kept" "$work/install.txt"
check "upgrade: the changed list is the list users start from" cmp -s "$work/list.txt" $list
check "upgrade: $list root:root 644" test "$(stat -c '%U:%G %a' $list)" = "root:root 644"
check "upgrade: no $old left" test ! -e $old

echo "== the installed files"
dpkg-query -L quorvane | sort >"$work/files.txt"
# Everything the package and its scripts put in place, and the folders they made.
# (dpkg still lists the 2.0 conffile that the upgrade moved away.)
{ cat "$work/files.txt"; find /etc/quorvane /var/lib/quorvane; } | sort -u |
  while read -r f; do [ -e "$f" ] || [ -L "$f" ] && echo "$f"; done >"$work/installed.txt"
check "getcap: the helper holds cap_net_bind_service,cap_sys_time=p" \
  test "$(getcap $helper)" = "$helper cap_net_bind_service,cap_sys_time=p"
check "getcap: the window program holds nothing" test -z "$(getcap $lib/Quorvane)"
check "group quorvane exists" test -n "$(getent group quorvane)"
check "helper root:quorvane 0750" test "$(stat -c '%U:%G %a' $helper)" = "root:quorvane 750"
check "$lib root:root 755" test "$(stat -c '%U:%G %a' $lib)" = "root:root 755"
check "/usr/bin/quorvane -> $lib/Quorvane" test "$(readlink -f /usr/bin/quorvane)" = "$lib/Quorvane"
check "the marker beside the program" test -f $lib/installed-layout
check "the server list is a conffile" grep -q "$list" <(dpkg-query -W -f='${Conffiles}' quorvane)
check "manual page quorvane(1)" test -s /usr/share/man/man1/quorvane.1.gz
check "desktop entry" test -f /usr/share/applications/$id.desktop
check "metainfo" test -f /usr/share/metainfo/$id.metainfo.xml
for size in $icon_sizes; do
  check "icon ${size}x$size" test -f /usr/share/icons/hicolor/${size}x$size/apps/$id.png
done
mapfile -t installed <"$work/installed.txt"
find "${installed[@]}" -maxdepth 0 \( ! -user root -o ! -type l -perm /022 \) \
  >"$work/writable.txt" 2>&1
check "find: every installed path is root's, none writable by group or others" \
  test ! -s "$work/writable.txt"
sed 's/^/  /' "$work/writable.txt"

# Rename, replace (by rename or by writing) and add, for every installed path; prints what
# went through.
member_changes() {
  as_member bash -c '
    while read -r p; do
      mv -T "$p" "$p.qv-moved" 2>/dev/null && echo "renamed $p"
      if [ -d "$p" ] && [ ! -L "$p" ]; then
        { : >"$p/qv-added"; } 2>/dev/null && echo "added a file in $p"
      else
        { : >>"$p"; } 2>/dev/null && echo "opened $p for writing"
        : >"$HOME/qv-new" && mv -T "$HOME/qv-new" "$p" 2>/dev/null && echo "replaced $p"
      fi
    done' <"$work/installed.txt"
}
check "the member may run the helper (the group works)" as_member test -x $helper
member_changes >"$work/changes.txt"
check "the member renames, replaces or adds nothing in $(wc -l <"$work/installed.txt") paths" \
  test ! -s "$work/changes.txt"
sed 's/^/  /' "$work/changes.txt"

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
  local child
  for child in $(pgrep -f -u "$member" -- "$helper"); do echo "$child"; done
}

# An X server the program in the namespace reaches (see tests/support/x_server.sh).
start_x_server() {
  start_free_x_server "${in_ns[@]}" || return 1
  xvfb_pid=$x_pid
  display=$x_display
}

# The installed program, started by the member, one-shot sync against 127.0.0.1 in the test's
# own network namespace (and so its own single-instance name), on a virtual display.
run_installed_program() {
  local tool data=$home/.local/share/Veltrand/Quorvane
  for tool in xdotool xwd:x11-apps xwdtopnm:netpbm tesseract:tesseract-ocr; do
    install_tool "${tool%%:*}" "${tool#*:}" ||
      { echo "FAIL cannot install ${tool#*:}"; failures=$((failures + 1)); return 1; }
  done
  [ ${#in_ns[@]} -gt 0 ] && ip -n "$ns" link set lo up
  "${in_ns[@]}" "$here/../support/chrony.sh" start "$work/chrony" || return 1
  start_x_server || { echo "FAIL no X server could be started"; failures=$((failures + 1)); return 1; }
  as_member mkdir -p "$home/.config/Veltrand"
  as_member sh -c "printf '[Options]\nPrimary_Server=127.0.0.1\nSecondary_Server=127.0.0.1\nLogToFile=1\n' \
    >$home/.config/Veltrand/Quorvane.conf"
  "${in_ns[@]}" env -i PATH=/usr/bin:/bin DISPLAY="$display" TZ=UTC \
    setpriv --reuid="$member" --regid="$member" --init-groups --bounding-set -sys_time -- \
    env HOME="$home" unshare --user --map-root-user /usr/bin/quorvane sync >"$work/program.txt" 2>&1 &
  program_pid=$!
  local box=""
  for _ in $(seq 60); do
    box=$(DISPLAY=$display xdotool search --onlyvisible --name '^Failed to Set System Clock$' \
      2>/dev/null | head -n1)
    [ -n "$box" ] && break
    kill -0 "$program_pid" 2>/dev/null || break
    sleep 0.5
  done
  check "the program runs from $lib" test "$(readlink "/proc/$program_pid/exe")" = "$lib/Quorvane"
  # Only 127.0.0.1, from the profile Veltrand/Quorvane.conf, can answer in the namespace; the
  # kernel refuses the step there with EPERM, "Operation not permitted".
  check "the box \"Failed to Set System Clock\" appeared" test -n "$box"
  [ -n "$box" ] && check "the box says \"Operation not permitted\"" \
    box_text_shows "$box" "operation not permitted"
  check "a quorvane-helper of the member runs" test -n "$(helper_children)"
  # The log line follows the answered box.
  [ -n "$box" ] && DISPLAY=$display xdotool windowfocus --sync "$box" key Return 2>/dev/null
  for _ in $(seq 50); do
    grep -q ',127\.0\.0\.1,.*,F' "$data/Quorvane.txt" 2>/dev/null && break
    sleep 0.2
  done
  check "the refused step's log line is in $data" grep -q ',127\.0\.0\.1,.*,F' "$data/Quorvane.txt"
  check "the data folder is the member's, 700" \
    test "$(stat -c '%U %a' "$data")" = "$member 700"
  check "the member's list starts as the shipped one" cmp -s "$list" "$data/Quorvane.ini"
  kill "$program_pid" 2>/dev/null
  wait "$program_pid" 2>/dev/null
  program_pid=""
  [ -z "$box" ] && sed 's/^/  program: /' "$work/program.txt"
  return 0
}

echo "== the member runs the installed program (user namespace, no CAP_SYS_TIME in the bounding set)"
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

echo "== remove keeps the list, the kept files and the group; purge removes everything"
# dpkg, not apt-get, where nothing needs resolving: apt's start alone takes seconds here.
dpkg --remove quorvane >/dev/null 2>&1
check "remove: the server list stays" test -f $list
check "remove: the files kept from 2.0 stay" test -f $kept/Quorvane.txt
check "remove: the group stays" test -n "$(getent group quorvane)"
dpkg --purge quorvane >/dev/null 2>&1
left=$(while read -r f; do
  if [ -L "$f" ] || { [ -e "$f" ] && [ ! -d "$f" ]; }; then echo "$f"; fi
done <"$work/files.txt")
check "purge: no file of the package left" test -z "$left"
for gone in $lib /etc/quorvane /var/lib/quorvane $old; do
  check "purge: no $gone" test ! -e $gone
done
check "purge: no group quorvane" test -z "$(getent group quorvane)"
check "purge: no capability left" test -z "$(getcap -r /usr/lib /usr/bin /opt 2>/dev/null | grep -i quorvane)"
check "purge: the member's own files stay" test -f "$home/.local/share/Veltrand/Quorvane/Quorvane.txt"
[ -n "$left" ] && echo "left: $left"

echo "package_test: $failures failed, $(($(date +%s) - started)) s"
[ "$failures" -eq 0 ]
