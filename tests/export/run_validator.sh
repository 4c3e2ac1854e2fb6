#!/usr/bin/env bash
# Writes a .glb (see write_glb.sh) and has the Khronos glTF validator check it.
#   run_validator.sh plot|wave|sample|animated|label PRODUCER
#   run_validator.sh sides-quantised|wave-quantised|sides-meshopt|wave-meshopt VANTELLE   compressed
set -euo pipefail

here="$(cd "$(dirname "${BASH_SOURCE[0]}")" && pwd)"
work="$(mktemp -d)"
trap 'rm -rf "$work"' EXIT

"$here/write_glb.sh" "$1" "$2" "$work/$1.glb"
if ! command -v node >/dev/null 2>&1; then
  echo "run_validator.sh: node is not installed (run scripts/install-deps.sh)" >&2
  exit 1
fi
node "$here/validate.js" "$work/$1.glb"
