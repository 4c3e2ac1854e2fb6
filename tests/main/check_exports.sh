#!/bin/sh
# Fails unless the module file exports exactly c4d_main, g_CpuYieldDelegate and g_maxon.
set -eu
exported=$(nm -D --defined-only "$1" | awk '{print $3}' | sort | tr '\n' ' ')
expected="c4d_main g_CpuYieldDelegate g_maxon "
if [ "$exported" != "$expected" ]; then
  echo "exported: $exported"
  echo "expected: $expected"
  exit 1
fi
echo "exports: $exported"
