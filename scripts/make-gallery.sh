#!/usr/bin/env bash
# Draws the pictures of docs/gallery/ with the built app: the eleven presets as whole
# plots, and the bare plot's three marker styles.
#   scripts/make-gallery.sh BUILD_FOLDER OUTPUT_FOLDER
set -euo pipefail

vantelle="$1/vantelle"
out="$2"
size=960x540
mkdir -p "$out"

for preset in 0 1 2 3 4 5 6 7 8 9 10; do
  name=$(printf "preset_%02d.png" "$preset")
  # Some presets have no value at a few samples (Log of a negative, division by zero);
  # the app says so on stderr, which is no news here.
  "$vantelle" plot --preset "$preset" --size "$size" -o "$out/$name" >/dev/null 2>&1 ||
    { echo "cannot draw preset $preset" >&2; exit 1; }
  echo "$out/$name"
done

markers() {
  local name="$1"
  shift
  "$vantelle" plot --add none --size "$size" -o "$out/$name" "$@" >/dev/null
  echo "$out/$name"
}
markers dots.png --set SURFO_POINTSIZE=1.5
markers spheres.png --set SURFO_POINTSTYLE=1 --set SURFO_RESOLUTION=24 --set SURFO_POINTSIZE=2.5
markers crosses.png --set SURFO_POINTSTYLE=2 --set SURFO_RESOLUTION=24 --set SURFO_POINTSIZE=2.5
