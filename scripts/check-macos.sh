#!/usr/bin/env bash
# Checks on Linux that the module's sources compile for macOS arm64 with clang, without
# warnings: syntax only, since no macOS SDK can be had here. libc++'s headers stand in
# for the SDK's C++ library and glibc's arm64 headers for its C library (both Debian
# packages); tools/macos/ holds the one header libc++ wants from macOS that glibc lacks.
# The real build on a Mac is in the README.
set -euo pipefail
root="$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)"
cd "$root"
if [ ! -d /usr/lib/llvm-14/include/c++/v1 ] || [ ! -d /usr/aarch64-linux-gnu/include ]; then
  sudo=""
  [ "$(id -u)" -ne 0 ] && sudo="sudo"
  DEBIAN_FRONTEND=noninteractive $sudo apt-get install -y -qq --no-install-recommends \
    clang libc++-14-dev libc++abi-14-dev libc6-dev-arm64-cross
fi
clang_include="$(clang++ -print-resource-dir)/include"
status=0
for source in main/*.cpp plot/*.cpp mesh/*.cpp grid/*.cpp cage/*.cpp labels/*.cpp; do
  # Clang reads __nonnull as a nullability keyword for Apple targets; glibc uses the name
  # as a macro of its own.
  if ! clang++ -target arm64-apple-macos13 -std=c++20 -fsyntax-only -Werror \
      -Wall -Wextra -Wpedantic -Wshadow -nostdinc -nostdinc++ \
      -isystem /usr/lib/llvm-14/include/c++/v1 -isystem "$clang_include" -isystem tools/macos \
      -isystem /usr/aarch64-linux-gnu/include -U__nonnull '-D__nonnull(x)=' -D_GNU_SOURCE \
      -I. "$source"; then
    status=1
  fi
done
# No system calls in the module: it reaches the system only through the host.
if grep -nE '#include <(unistd|dlfcn|fcntl|windows|spawn|pthread)\.h>|#include <sys/|/proc/' \
    main/*.cpp main/*.h plot/* mesh/* grid/* cage/* labels/* common/*; then
  echo "system headers in the module's folders" >&2
  status=1
fi
[ "$status" = 0 ] && echo "the module's sources compile for arm64-apple-macos without warnings"
exit "$status"
