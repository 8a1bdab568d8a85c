#!/usr/bin/env bash
# Builds the Debian package orvane_<version>_<arch>.deb into build-deb/ (or
# the folder given as the first argument) with dpkg-buildpackage.
#
# The build runs in a copy of the tracked and new files of this tree, so the
# working tree gets no obj-* folder or debian/ output, and earlier builds in
# build/ do not leak in. With ccache installed the copy keeps one path from
# build to build, so a rebuild compiles only what changed.
set -euo pipefail
cd "$(dirname "$0")/.."
out="$(realpath -m "${1:-build-deb}")"
version="$(dpkg-parsechangelog -l debian/changelog -S Version)"
work="$out/src/orvane-$version"

for tool in dpkg-buildpackage dh; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool is missing: run scripts/install-deps.sh --package" >&2
    exit 1
  fi
done

mkdir -p "$out"
rm -rf "$work"
mkdir -p "$work"
# Tracked and new (not ignored) files, as they are now in the working tree.
# Files deleted in the working tree but still in the index are skipped.
git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' file; do
    if [ -e "$file" ]; then printf '%s\0' "$file"; fi
  done | xargs -0 cp --parents -t "$work"

if command -v ccache >/dev/null; then
  export ORVANE_CCACHE=1
fi
export DEB_BUILD_OPTIONS="${DEB_BUILD_OPTIONS:-parallel=$(nproc)}"
(cd "$work" && dpkg-buildpackage -us -uc -b)
# dpkg-buildpackage leaves its results beside the source folder.
mv -f "$out/src/"*.deb "$out/src/"*.buildinfo "$out/src/"*.changes "$out/" 2>/dev/null || true
ls -1 "$out"/*.deb
