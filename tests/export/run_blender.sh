#!/usr/bin/env bash
# Writes a .glb (see write_glb.sh) and imports it into Blender, checking the largest surface
# mesh (the 51 x 51 plot surface with texture coordinates and vertex colours, or the label's
# solid text) and the lines beside it.
#   run_blender.sh plot|wave|sample|animated|label PRODUCER
#   run_blender.sh sides|sides-quantised|wave-quantised PRODUCER   the same checks of the file written with
#                                    --compress, which must also match the uncompressed file's meshes
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$here/write_glb.sh" "$1" "$2" "$work/$1.glb"
if ! command -v blender >/dev/null 2>&1; then
  echo "run_blender.sh: blender is not installed (run scripts/install-deps.sh)" >&2
  exit 1
fi

kind=${1%-quantised}
expectations=(--mesh-vertices 2601 --mesh-triangles 5000 --uv --colors)
if [ "$kind" != "$1" ]; then
  "$here/write_glb.sh" "$kind" "$2" "$work/reference.glb"
  expectations+=(--same-as "$work/reference.glb")
fi
if [ "$kind" = label ]; then
  # One closed solid of six glyphs, "-180.0": the "8" has two holes and each "0" one, and
  # seen from the front it reads left to right, upright, its caps facing out.
  expectations=(--objects 1 --line-objects 0 --closed-parts 6 --genus-along-x 0,0,2,1,0,1 --caps-face-out
                --below 4:0)
elif [ "$kind" = sample ]; then
  # Plot, Surface, Cube, Wire, and a generator holding three spheres; the wire's loop of 8
  # points and strip of 4, 3 spans each of at least 4 sub-points.
  expectations+=(--objects 8 --line-objects 1 --min-line-edges $(((8 + 3) * 4)))
elif [ "$kind" = animated ]; then
  # Surface, grid lines and a box; two line segments of 50 spans of 5 sub-points each, and
  # the 12 frames the surface moves through.
  expectations+=(--objects 3 --line-objects 1 --min-line-edges $((2 * 50 * 5)) --animation-frames 12)
else
  # The grid's 51 + 51 lines of 50 spans each and the cage's wire box come in as objects
  # of their own, and the seven labels shown (three numbers along the front edge, three
  # up the front left corner, the legend) as solids. Seen from the front, "-180.0" and
  # "-1.0" read left to right: "8" has two holes, each "0" one.
  expectations+=(--line-objects 2 --min-line-edges $((102 * 50 + 12)) --reads _SurfoHLabel0_=0,0,2,1,0,1)
  if [ "$kind" = plot ]; then
    expectations+=(--text-meshes 7 --reads _SurfoVLabel2_=0,0,0,1)
  elif [ "$kind" = sides ]; then
    # The front set and the side set, each of three numbers along an edge and three up a
    # corner, and the legend.
    expectations+=(--text-meshes 13 --reads _SurfoVLabel2_=0,0,0,1)
  else
    # The wave moves through its 30 frames, and its height scale grows: the top and
    # bottom labels show other numbers as it does, one version at a time.
    expectations+=(--animation-frames 30 --changing _SurfoVLabel0_ --changing _SurfoVLabel2_)
  fi
fi
# Blender's own user settings and add-ons stay out of it; an uncaught error in the script
# still ends Blender with a failure.
HOME="$work" blender -b --factory-startup --python-exit-code 1 \
  --python "$here/blender_check.py" -- "$work/$1.glb" "${expectations[@]}"
