#!/usr/bin/env bash
# Renders the application icon's PNG sizes from its SVG drawing, next to it. The PNGs are
# committed so that building needs no SVG renderer; run this after changing the drawing.
# Needs rsvg-convert (librsvg2-bin).
set -euo pipefail

icons="$(cd "$(dirname "$0")/../app/resources/icons" && pwd)"
for size in 16 32 48 64 128 256; do
  rsvg-convert --width "$size" --height "$size" --output "$icons/quellion-$size.png" \
    "$icons/quellion.svg"
done
