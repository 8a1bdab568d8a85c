#!/usr/bin/env bash
# The menu entry and the AppStream file pass their validators, and every
# hicolor PNG has the size of its folder. Exits 77 (skipped) when the
# validators are not installed (scripts/install-deps.sh installs them).
set -uo pipefail
dist="$1/dist/desktop"
failed=0

for size in 16 22 24 32 48 64 128 256; do
  png="$dist/icons/${size}x${size}/org.quenzo.Orvane.png"
  # The PNG header holds width and height as big-endian words at 16 and 20.
  read -r width height < <(od -An -tu1 -j16 -N8 "$png" 2>/dev/null |
    awk '{print $1*16777216+$2*65536+$3*256+$4, $5*16777216+$6*65536+$7*256+$8}')
  if [ "${width:-}" != "$size" ] || [ "${height:-}" != "$size" ]; then
    echo "FAIL: $png is ${width:-missing}x${height:-missing}, not ${size}x${size}"
    failed=1
  fi
done

missing=()
command -v desktop-file-validate >/dev/null || missing+=(desktop-file-validate)
command -v appstreamcli >/dev/null || missing+=(appstreamcli)
if [ ${#missing[@]} -eq 0 ]; then
  if ! out=$(desktop-file-validate "$dist/org.quenzo.Orvane.desktop" 2>&1) || [ -n "$out" ]; then
    echo "FAIL: desktop-file-validate: $out"
    failed=1
  fi
  if ! out=$(appstreamcli validate --no-net "$dist/org.quenzo.Orvane.metainfo.xml" 2>&1); then
    echo "FAIL: appstreamcli validate: $out"
    failed=1
  fi
fi
if [ "$failed" -ne 0 ]; then
  exit 1
fi
if [ ${#missing[@]} -ne 0 ]; then
  echo "SKIPPED: ${missing[*]} not installed; the icon sizes were checked"
  exit 77
fi
echo "desktop files valid"
