#!/usr/bin/env bash
# Cross-builds the module, the host, the app and the test programs for Windows x86-64
# with mingw-w64, and runs them under wine: the test programs of the host and the
# module, the module's exports, and the default plot's .glb, which must be the Linux
# build's byte for byte.
#
#   scripts/test-windows.sh LINUX_BUILD [WINDOWS_BUILD] [DEPS]
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
linux_build="$(realpath "${1:?the Linux build folder}")"
build="$(realpath -m "${2:-$root/build-windows}")"
deps="$(realpath -m "${3:-$root/build-windows-deps}")"
jobs="${JOBS:-$(nproc)}"

"$root/scripts/install-deps.sh" windows
JOBS="$jobs" "$root/scripts/build-windows-deps.sh" "$deps"

if [ ! -f "$build/build.ninja" ]; then
  cmake -S "$root" -B "$build" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
    -DCMAKE_TOOLCHAIN_FILE="$root/cmake/windows/toolchain-x86_64-w64-mingw32.cmake" \
    -DVANTELLE_WINDOWS_DEPS="$deps/prefix" -DVANTELLE_WERROR="${WERROR:-OFF}" -DVANTELLE_BENCH=OFF
fi
programs=(host_tests plot_tests mesh_tests spline_component_tests labels_tests main_tests)
cmake --build "$build" -j "$jobs" --target vantelle Vantelle "${programs[@]}"

echo "== the module's exports"
"$root/tests/main/check_exports.sh" "$build/plugins/Vantelle/Vantelle.xdl64"
# Nothing but Windows' own DLLs and the host's beside them.
imports="$(x86_64-w64-mingw32-objdump -p "$build/plugins/Vantelle/Vantelle.xdl64" "$build/vantelle.exe" |
  sed -n 's/^\tDLL Name: //p' | tr 'A-Z' 'a-z' | sort -u | tr '\n' ' ')"
for dll in $imports; do
  case "$dll" in
    kernel32.dll | msvcrt.dll | user32.dll | shell32.dll | ole32.dll | opengl32.dll | advapi32.dll | \
      gdi32.dll | api-ms-win-*.dll | vantelle_host.dll) ;;
    *) echo "needs $dll, which Windows does not bring" >&2; exit 1 ;;
  esac
done

# A wine prefix of its own, with the Liberation fonts installed as a user would install
# them (no Arial: the labels take its metric twin, as on Linux).
export PATH="/usr/lib/wine:$PATH"  # Debian's wine64 keeps wine64 and wineserver there
export WINEARCH=win64
export WINEPREFIX="$build/wine"
export WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml="
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  echo "== creating the wine prefix"
  # Without the 32-bit half it says it cannot start rundll32 of syswow64; the 64-bit
  # prefix is complete all the same.
  wine64 wineboot --init >/dev/null 2>&1 || true
  wineserver --wait
fi
cp /usr/share/fonts/truetype/liberation2/Liberation*.ttf "$WINEPREFIX/drive_c/windows/Fonts/"

failed=0
for program in "${programs[@]}"; do
  echo "== $program"
  # Left to Linux: tests that ask fontconfig's fc-match, or expect Linux's own answers
  # ('/' between the parts of a path, Liberation Sans as the labels' wanted face).
  linux_only="Fonts.LiberationSansIsFoundByDisplayNameAndItsVariantsAreNot"
  linux_only+=":Filename.JoinsPartByPartAndTreatsBackslashesAsSeparators"
  linux_only+=":AddingComponents.ManualAndInfoGoThroughTheHost"
  linux_only+=":LabelFont.TheExactlyNamedFaceWinsElseTheSystemDefault"
  if ! (cd "$build" && wine64 "./$program.exe" --gtest_brief=1 "--gtest_filter=-$linux_only"); then
    failed=1
  fi
done

echo "== the default plot, compared with the Linux build's"
out="$build/compare"
mkdir -p "$out"
"$linux_build/vantelle" plot -o "$out/plot-linux.glb" >/dev/null
(cd "$build" && wine64 ./vantelle.exe plot -o compare/plot-windows.glb) >/dev/null
if cmp "$out/plot-linux.glb" "$out/plot-windows.glb"; then
  echo "plot.glb: identical ($(stat -c %s "$out/plot-linux.glb") bytes)"
else
  failed=1
fi
wineserver --kill || true
exit "$failed"
