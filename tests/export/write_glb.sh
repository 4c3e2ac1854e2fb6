#!/usr/bin/env bash
# Writes the .glb that the export checks read.
#   write_glb.sh plot VANTELLE OUT        the default plot with its vertex-coloured surface,
#                                         grid, cage and labels, as the app writes it
#   write_glb.sh sides VANTELLE OUT       the default plot with both label sets, those for a
#                                         view from the right turned about Y
#   write_glb.sh wave VANTELLE OUT        a growing wave over frames 0 to 29, animated, its
#                                         value labels changing
#   write_glb.sh sample EXPORT_TESTS OUT  export_tests' scene of several objects
#   write_glb.sh animated EXPORT_TESTS OUT  export_tests' surface, lines and box over 12
#                                         frames, animated by morph targets
#   write_glb.sh label VANTELLE OUT       label.json rendered: one axis label, "-180.0"
#                                         extruded 0.1 deep, as the labels component makes it
#   write_glb.sh sides-quantised|wave-quantised VANTELLE OUT   the same with --compress
#   write_glb.sh sides-meshopt|wave-meshopt VANTELLE OUT       the same with --compress=meshopt
set -euo pipefail

kind=$1
producer=$2
out=$3

compress=()
case "$kind" in
  *-quantised) compress=(--compress); kind=${kind%-quantised} ;;
  *-meshopt) compress=(--compress=meshopt); kind=${kind%-meshopt} ;;
esac

case "$kind" in
  plot)
    "$producer" plot -o "$out" >/dev/null
    ;;
  sides)
    "$producer" plot --set labels.SURFOLABEL_SIDES=both ${compress[@]+"${compress[@]}"} -o "$out" >/dev/null
    ;;
  wave)
    "$producer" plot "Sin(x + t * 90) * Cos(z) * (1 + t)" --frames 0:29 ${compress[@]+"${compress[@]}"} -o "$out" >/dev/null
    ;;
  sample)
    VANTELLE_EXPORT_SAMPLE="$out" "$producer" --gtest_filter='GltfExportTest.SampleScene' >/dev/null
    ;;
  animated)
    VANTELLE_EXPORT_ANIMATED="$out" "$producer" --gtest_filter='GltfAnimationTest.AnimatedSample' >/dev/null
    ;;
  label)
    "$producer" render "$(dirname "${BASH_SOURCE[0]}")/label.json" -o "$out" >/dev/null
    ;;
  *)
    echo "write_glb.sh: unknown kind '$kind' (plot, sides, wave, sample, animated or label; sides and wave also -quantised or -meshopt)" >&2
    exit 2
    ;;
esac

if [ ! -s "$out" ]; then
  echo "write_glb.sh: no file was written at $out" >&2
  exit 1
fi
