#!/usr/bin/env bash
# Writes the .glb that the export checks read.
#   write_glb.sh plot VANTELLE OUT        the default plot with its vertex-coloured surface,
#                                         grid and cage, as the app writes it
#   write_glb.sh sample EXPORT_TESTS OUT  export_tests' scene of several objects
set -euo pipefail

kind=$1
producer=$2
out=$3

case "$kind" in
  plot)
    # The grid and cage add lines beside the surface; an app that cannot add them yet
    # still has its surface checked.
    if "$producer" plot --add grid --add cage >/dev/null 2>&1; then
      "$producer" plot --add mesh --add grid --add cage --set mesh.SURFOMESH_VERTEXCOLORS=true -o "$out"
    else
      "$producer" plot --add mesh --set mesh.SURFOMESH_VERTEXCOLORS=true -o "$out"
    fi
    ;;
  sample)
    VANTELLE_EXPORT_SAMPLE="$out" "$producer" --gtest_filter='GltfExportTest.SampleScene' >/dev/null
    ;;
  *)
    echo "write_glb.sh: unknown kind '$kind' (plot or sample)" >&2
    exit 2
    ;;
esac

if [ ! -s "$out" ]; then
  echo "write_glb.sh: no file was written at $out" >&2
  exit 1
fi
