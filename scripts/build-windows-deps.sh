#!/usr/bin/env bash
# Builds the libraries the Windows build needs and Debian has no mingw package of:
# FreeType, HarfBuzz, libtiff, libpng and GLU's tessellator, from Debian's own source
# packages (with Debian's patches where the archive still has them), cross-compiled as
# static libraries into PREFIX. The header-only libraries (nlohmann's JSON, CLI11,
# tinygltf, OpenGL's declarations) are copied from the Linux -dev packages, and
# GoogleTest from the sources libgtest-dev ships. zlib is Debian's libz-mingw-w64-dev.
# A library already in PREFIX is not built again.
#
#   scripts/build-windows-deps.sh [PREFIX]     (default: build-windows-deps)
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
deps="$(realpath -m "${1:-$root/build-windows-deps}")"
prefix="$deps/prefix"
toolchain="$root/cmake/windows/toolchain-x86_64-w64-mingw32.cmake"
jobs="${JOBS:-$(nproc)}"
mkdir -p "$deps/src" "$deps/build" "$prefix/include" "$prefix/lib"

find_tree() {
  find "$deps/src" -mindepth 1 -maxdepth 1 -type d \( -name "$1-[0-9]*" -o -name "$2" \) | head -n1
}

# The upstream tree of a Debian source package, unpacked once into src/ (by dpkg-source
# as PACKAGE-VERSION, from the bare tarball under the upstream name, UPSTREAM_PATTERN).
# Debian's patches are applied when all of the package's files can still be fetched; the
# archive sometimes drops a superseded revision's files, and then the newest revision it
# still has is taken, or at last the upstream tarball alone.
source_tree() {
  local package="$1" pattern="$2"
  local tree
  tree="$(find_tree "$package" "$pattern")"
  if [ -n "$tree" ]; then
    echo "$tree"
    return
  fi
  (
    cd "$deps/src"
    local versions
    versions="$(apt-cache showsrc "$package" | sed -n 's/^Version: //p' | sort -Vr)"
    local fetched=0
    for version in $versions; do
      if apt-get source -qq --download-only "$package=$version" >&2 2>/dev/null; then
        dpkg-source -x "${package}_${version#*:}.dsc" >&2
        fetched=1
        break
      fi
    done
    if [ "$fetched" = 0 ]; then
      # Only the upstream tarball: unpack it as it is.
      ls ./"${package}"_*.orig.tar.* >/dev/null 2>&1 || apt-get source -qq --download-only "$package" >&2 || true
      for tarball in ./"${package}"_*.orig.tar.*; do
        tar xf "$tarball"
      done
    fi
  )
  tree="$(find_tree "$package" "$pattern")"
  if [ -z "$tree" ]; then
    echo "build-windows-deps: cannot get the sources of $package" >&2
    exit 1
  fi
  echo "$tree"
}

cmake_build() {
  local name="$1" source="$2"
  shift 2
  echo "== $name"
  cmake -S "$source" -B "$deps/build/$name" -G Ninja -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$toolchain" -DCMAKE_BUILD_TYPE=Release \
    -DCMAKE_INSTALL_PREFIX="$prefix" -DCMAKE_PREFIX_PATH="$prefix" \
    -DBUILD_SHARED_LIBS=OFF -DCMAKE_POSITION_INDEPENDENT_CODE=ON "$@" >"$deps/build/$name.log"
  cmake --build "$deps/build/$name" -j "$jobs" >>"$deps/build/$name.log"
  cmake --install "$deps/build/$name" >>"$deps/build/$name.log"
}

if [ ! -f "$prefix/lib/libfreetype.a" ]; then
  # With Debian's mingw zlib (its own copy would clash with it in one DLL); no other
  # compressed or bitmap fonts, no hinting helpers from other libraries.
  cmake_build freetype "$(source_tree freetype 'freetype-*')" \
    -DFT_REQUIRE_ZLIB=ON -DFT_DISABLE_BZIP2=ON -DFT_DISABLE_PNG=ON \
    -DFT_DISABLE_HARFBUZZ=ON -DFT_DISABLE_BROTLI=ON
fi

if [ ! -f "$prefix/lib/libharfbuzz.a" ]; then
  cmake_build harfbuzz "$(source_tree harfbuzz 'harfbuzz-*')" \
    -DHB_HAVE_FREETYPE=OFF -DHB_HAVE_GLIB=OFF -DHB_HAVE_ICU=OFF -DHB_HAVE_GOBJECT=OFF \
    -DHB_BUILD_SUBSET=OFF -DHB_BUILD_UTILS=OFF -DHB_BUILD_TESTS=OFF
fi

if [ ! -f "$prefix/lib/libtiff.a" ]; then
  # The icon strip is Deflate-compressed; the library writes through C runtime
  # descriptors (not Win32 handles), as the host hands it one.
  cmake_build tiff "$(source_tree tiff 'libtiff-*')" \
    -Dwin32-io=OFF -Dzlib=ON -Dlibdeflate=OFF -Djpeg=OFF -Dold-jpeg=OFF -Djbig=OFF \
    -Dlerc=OFF -Dlzma=OFF -Dzstd=OFF -Dwebp=OFF -Dpixarlog=OFF -Dcxx=OFF \
    -Dtiff-tools=OFF -Dtiff-tests=OFF -Dtiff-contrib=OFF -Dtiff-docs=OFF -Dtiff-opengl=OFF
fi

if [ ! -f "$prefix/lib/libpng16.a" ] && [ ! -f "$prefix/lib/libpng.a" ]; then
  cmake_build png "$(source_tree libpng1.6 'libpng-*')" \
    -DPNG_SHARED=OFF -DPNG_STATIC=ON -DPNG_TESTS=OFF -DPNG_EXECUTABLES=OFF
fi

if [ ! -f "$prefix/lib/libglu_tess.a" ]; then
  # Only GLU's tessellator: it needs no OpenGL context and fills the caps of 3D text.
  glu="$(source_tree libglu 'glu-*')"
  mkdir -p "$deps/build/glu_tess"
  cat >"$deps/build/glu_tess/CMakeLists.txt" <<CMAKE
cmake_minimum_required(VERSION 3.25)
project(glu_tess C)
file(GLOB sources "$glu/src/libtess/*.c")
add_library(glu_tess STATIC \${sources})
target_include_directories(glu_tess PRIVATE "$glu/include" "$glu/src/include")
install(TARGETS glu_tess)
install(FILES "$glu/include/GL/glu.h" DESTINATION include/GL)
CMAKE
  cmake_build glu_tess "$deps/build/glu_tess"
fi

if [ ! -f "$prefix/lib/libgtest.a" ]; then
  cmake_build googletest /usr/src/googletest -DBUILD_GMOCK=ON -Dgtest_disable_pthreads=OFF
fi

# Header-only libraries, as the Linux packages install them.
copy_headers() {
  for item in "$@"; do
    mkdir -p "$prefix/include/$(dirname "$item")"
    cp -r "/usr/include/$item" "$prefix/include/$(dirname "$item")/"
  done
}
copy_headers nlohmann CLI tiny_gltf.h GL/glcorearb.h GL/osmesa.h KHR/khrplatform.h
echo "Windows libraries in $prefix"
