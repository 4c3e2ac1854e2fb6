#!/usr/bin/env bash
# Installs the Debian packages the build, the tests and the demo need, and only those
# that are missing, so running it again costs nothing.
set -euo pipefail

root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"

packages=(
  cmake ninja-build g++ make pkg-config python3
  libgtest-dev libgmock-dev libbenchmark-dev
  nlohmann-json3-dev libtiff-dev libcli11-dev
  # glTF export: tinygltf as Debian's shared library (it brings stb and its JSON reader
  # along). The tests import the exported files into Blender, whose glTF importer needs
  # numpy, which the blender package does not pull in.
  libtinygltf-dev blender python3-numpy
  # Smaller files on request: meshoptimizer's codec for EXT_meshopt_compression.
  libmeshoptimizer-dev
  # Text in the scene: installed fonts found through fontconfig, glyph outlines from
  # FreeType laid out by HarfBuzz, caps triangulated by the GLU tessellator. The Liberation
  # fonts are the default text face on this platform.
  fonts-liberation2 fontconfig libfreetype-dev libharfbuzz-dev libfontconfig-dev libglu1-mesa-dev
  # The manual: pandoc turns Markdown into groff's ms, groff sets it as PDF; the check
  # reads the PDF back with poppler's tools. The icons are drawn with Pillow.
  pandoc groff poppler-utils python3-pil
  # Pictures: Mesa's offscreen OpenGL (software, so no display and no GPU are needed), the
  # OpenGL declarations and libpng.
  libosmesa6-dev libgl-dev libpng-dev
  # The interactive view: a GLFW window with OpenGL, Dear ImGui for its panel (Debian
  # ships its GLFW and OpenGL 3 backends as sources), and a virtual X server to run its
  # scripted session in the tests.
  libglfw3-dev libimgui-dev xvfb xauth
)
# A node from elsewhere (nodesource, nvm) clashes with Debian's nodejs/npm packages, so
# Debian's are only the fallback.
if ! command -v node >/dev/null 2>&1; then
  packages+=(nodejs npm)
elif ! command -v npm >/dev/null 2>&1; then
  packages+=(npm)
fi
with_node_tools=1
# Extra tools for one job only: `install-deps.sh fuzz`, `install-deps.sh windows`.
if [ "${1:-}" = "fuzz" ]; then
  packages=(clang libclang-rt-14-dev)
  with_node_tools=0
fi
# The Windows build: Debian's mingw-w64 cross compiler (posix threads) and its zlib, wine
# to run the tests, and dpkg-dev to unpack the source packages of the libraries that have
# no mingw package (scripts/build-windows-deps.sh). Those need the archive's source index.
with_sources=0
if [ "${1:-}" = "windows" ]; then
  packages=(g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64
    libz-mingw-w64-dev wine64 dpkg-dev)
  with_node_tools=0
  with_sources=1
fi

missing=()
for p in "${packages[@]}"; do
  if ! dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$p")
  fi
done

sudo=""
if [ "$(id -u)" -ne 0 ]; then
  sudo="sudo"
fi
export DEBIAN_FRONTEND=noninteractive
updated=0
if [ "$with_sources" = 1 ] && ! apt-cache showsrc freetype 2>/dev/null | grep -q '^Package:'; then
  # The same suites as the binary packages, as deb-src.
  echo "Adding Debian's source packages to apt's sources"
  sources=/etc/apt/sources.list.d/vantelle-debian-src.sources
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources | $sudo tee "$sources" >/dev/null
  else
    grep -h '^deb ' /etc/apt/sources.list | sed 's/^deb /deb-src /' | $sudo tee "${sources%.sources}.list" >/dev/null
  fi
  $sudo apt-get update -qq
  updated=1
fi

if [ ${#missing[@]} -gt 0 ]; then
  echo "Installing missing packages: ${missing[*]}"
  if [ "$updated" = 0 ]; then
    $sudo apt-get update -qq
  fi
  $sudo apt-get install -y -qq --no-install-recommends "${missing[@]}"
fi

# The Khronos glTF validator and glTF Transform with meshoptimizer's decoder (which reads
# compressed files back), at the versions package-lock.json pins.
if [ "$with_node_tools" = 1 ] && { [ ! -d "$root/tools/gltf/node_modules/gltf-validator" ] ||
                                   [ ! -d "$root/tools/gltf/node_modules/@gltf-transform/core" ] ||
                                   [ ! -d "$root/tools/gltf/node_modules/meshoptimizer" ]; }; then
  echo "Installing the glTF validator and glTF Transform into tools/gltf/"
  npm ci --prefix "$root/tools/gltf" --no-audit --no-fund
fi
