#!/usr/bin/env bash
# Renders the program's icon into the PNG sizes of the hicolor theme under
# dist/desktop/icons/. The PNGs are committed, so building the package needs
# no SVG renderer (the SVG itself is installed from ui/icons); run this again after ui/icons/orvane.svg changes.
# Needs rsvg-convert (package librsvg2-bin).
set -euo pipefail
root="$(cd "$(dirname "$0")/.." && pwd)"
source_svg="$root/ui/icons/orvane.svg"
out="$root/dist/desktop/icons"
for size in 16 22 24 32 48 64 128 256; do
  mkdir -p "$out/${size}x${size}"
  rsvg-convert --width "$size" --height "$size" --format png \
    --output "$out/${size}x${size}/org.quenzo.Orvane.png" "$source_svg"
done
