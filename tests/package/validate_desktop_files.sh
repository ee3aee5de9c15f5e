#!/usr/bin/env bash
# The desktop entry and the AppStream metainfo pass their validators, and a theme icon was
# rendered at every size, at that size. Skips (77) where a validator is not installed.
# Usage: validate_desktop_files.sh DESKTOP_FILE METAINFO_FILE ICON_DIR ICON_NAME SIZE...
set -euo pipefail
desktop=$1 metainfo=$2 icons=$3 name=$4
shift 4

for tool in desktop-file-validate appstreamcli file; do
  if ! command -v "$tool" >/dev/null; then
    echo "skipped: $tool is not installed (desktop-file-utils, appstream, file)"
    exit 77
  fi
done
desktop-file-validate "$desktop"
# No network: the screenshot and home page addresses are not fetched.
appstreamcli validate --no-net --explain "$metainfo"
for size in "$@"; do
  png=$icons/${size}x${size}/apps/$name.png
  file "$png" | grep -q "PNG image data, $size x $size," || { file "$png"; exit 1; }
done
echo "desktop entry, metainfo and $# icons are valid"
