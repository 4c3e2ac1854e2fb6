#!/bin/sh
# Instructions per sample of a full computation of the default plot, startup left out:
# `vantelle plot --add none` under callgrind at resolution 200 minus the same at
# resolution 1, divided by the 40,397 samples between them (201^2 - 2^2).
#   bench/callgrind_sample.sh [build-dir] [extra vantelle plot arguments...]
set -eu
build=${1:-build}
[ $# -gt 0 ] && shift
out=$(mktemp -d)
trap 'rm -rf "$out"' EXIT
# Callgrind's total for one run at resolution $1; the rest are more plot arguments.
total() {
  n=$1
  shift
  valgrind --tool=callgrind --callgrind-out-file="$out/cg.$n" \
    "$build/vantelle" plot --set SURFO_RESOLUTION="$n" --add none -o "$out/plot$n.glb" "$@" >/dev/null 2>&1
  sed -n 's/^totals: *//p' "$out/cg.$n"
}
small=$(total 1 "$@")
large=$(total 200 "$@")
echo "resolution 1:   $small instructions"
echo "resolution 200: $large instructions"
echo "per sample:     $(( (large - small) / 40397 ))"
