#!/usr/bin/env bash
# Writes a .glb with --compress=meshopt and without (see write_glb.sh), decodes the first
# with glTF Transform and meshoptimizer's decoder and compares its meshes with the second.
#   run_decoder.sh sides|wave VANTELLE
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$here/write_glb.sh" "$1-meshopt" "$2" "$work/$1-meshopt.glb"
"$here/write_glb.sh" "$1" "$2" "$work/$1.glb"
if ! command -v node >/dev/null 2>&1; then
  echo "run_decoder.sh: node is not installed (run scripts/install-deps.sh)" >&2
  exit 1
fi
node "$here/decode.js" "$work/$1-meshopt.glb" "$work/$1.glb"
