#!/usr/bin/env bash
# Writes a .glb (see write_glb.sh) and imports it into Blender, checking the largest mesh:
# the 51 x 51 plot surface with texture coordinates and vertex colours.
#   run_blender.sh plot|sample PRODUCER
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$here/write_glb.sh" "$1" "$2" "$work/$1.glb"
if ! command -v blender >/dev/null 2>&1; then
  echo "run_blender.sh: blender is not installed (run scripts/install-deps.sh)" >&2
  exit 1
fi

expectations=(--mesh-vertices 2601 --mesh-triangles 5000 --uv --colors)
if [ "$1" = sample ]; then
  # Plot, Surface, Cube, and a generator holding three spheres.
  expectations+=(--objects 7)
fi
# Blender's own user settings and add-ons stay out of it; an uncaught error in the script
# still ends Blender with a failure.
HOME="$work" blender -b --factory-startup --python-exit-code 1 \
  --python "$here/blender_check.py" -- "$work/$1.glb" "${expectations[@]}"
