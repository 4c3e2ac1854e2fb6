#!/bin/sh
# Fails unless the module file exports exactly c4d_main, g_CpuYieldDelegate and g_maxon.
set -eu
case "$1" in
  *.xdl64)
    # A Windows DLL: the names of its export table.
    exported=$(x86_64-w64-mingw32-objdump -p "$1" |
      awk '/^\[Ordinal\/Name Pointer\] Table/ { table = 1; next } table && /^\t\[/ { print $NF; next } table { table = 0 }' |
      sort | tr '\n' ' ') ;;
  *)
    exported=$(nm -D --defined-only "$1" | awk '{print $3}' | sort | tr '\n' ' ') ;;
esac
expected="c4d_main g_CpuYieldDelegate g_maxon "
if [ "$exported" != "$expected" ]; then
  echo "exported: $exported"
  echo "expected: $expected"
  exit 1
fi
echo "exports: $exported"
