#!/usr/bin/env bash
# Builds a stand-in for the 2.0 package from the programs of a newer one, to test the upgrade:
# the 2.0 layout (everything in /opt/quorvane, the server list a conffile there, the folder
# root:quorvane 2775 so that members write their log and list beside the program) and the
# parts of 2.0's maintainer scripts that shape it. The programs themselves do not matter to
# the upgrade; only where things are and who may write them.
# Usage: old_layout_package.sh NEW_DEB OUT_DEB
set -euo pipefail
new=$(realpath "$1")
out=$2
tree=$(mktemp -d /tmp/quorvane-old-XXXXXX)
trap 'rm -rf "$tree"' EXIT

dpkg-deb -x "$new" "$tree/new"
root=$tree/root
mkdir -p "$root/opt/quorvane" "$root/usr/bin" "$root/DEBIAN"
install -m 0755 "$tree/new/usr/lib/quorvane/Quorvane" "$tree/new/usr/lib/quorvane/quorvane-helper" \
  "$root/opt/quorvane/"
install -m 0644 "$tree/new/etc/quorvane/Quorvane.ini" "$root/opt/quorvane/"
ln -s /opt/quorvane/Quorvane "$root/usr/bin/quorvane"

cat >"$root/DEBIAN/control" <<CONTROL
Package: quorvane
Version: 2.0
Architecture: $(dpkg-deb -f "$new" Architecture)
Maintainer: $(dpkg-deb -f "$new" Maintainer)
Depends: $(dpkg-deb -f "$new" Depends)
Section: utils
Priority: optional
Description: SNTP time synchronization client for the desktop
 The 2.0 layout, rebuilt for the upgrade test.
CONTROL
echo /opt/quorvane/Quorvane.ini >"$root/DEBIAN/conffiles"
cat >"$root/DEBIAN/postinst" <<'SCRIPT'
#!/bin/sh
set -e
if [ "$1" = configure ]; then
    getent group quorvane >/dev/null || addgroup --system --quiet quorvane
    chown root:quorvane /opt/quorvane
    chmod 2775 /opt/quorvane
    chown root:quorvane /opt/quorvane/quorvane-helper
    chmod 0750 /opt/quorvane/quorvane-helper
    setcap cap_sys_time,cap_net_bind_service=p /opt/quorvane/quorvane-helper || true
fi
exit 0
SCRIPT
cat >"$root/DEBIAN/postrm" <<'SCRIPT'
#!/bin/sh
set -e
if [ "$1" = purge ]; then
    rm -rf /opt/quorvane
    getent group quorvane >/dev/null && delgroup --system --quiet quorvane || true
fi
exit 0
SCRIPT
chmod 0755 "$root/DEBIAN/postinst" "$root/DEBIAN/postrm"
dpkg-deb --root-owner-group -Zxz --build "$root" "$out" >/dev/null
