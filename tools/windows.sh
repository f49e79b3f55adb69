#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds ZARN for 64-bit Windows, by the same code, and packs the zip a player
# unpacks anywhere: build-win/zarn-VERSION-win64.zip (zarn.exe, zarn.dat and
# README.txt). The last line it prints is the zip's path.
#
# It installs what it needs (Debian packages, only those missing), builds the
# Linux game first if its zarn.dat is missing, fetches Allegro 4.4.3.1's
# upstream source once (tools/allegro_source.sh), patches it, cross-builds
# it as a static library, and builds zarn.exe against it. The download and
# the library are the same for every checkout, and building them takes
# minutes, so they are kept outside the tree, in ZARN_CACHE (by default
# ~/.cache/zarn/allegro-win64): later runs, and fresh clones, only build the
# game; they are made anew when the patches or the toolchain change.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
win=$top/packaging/windows
out=$top/build-win
cache=${ZARN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zarn}/allegro-win64

allegro_options=(-DSHARED=off -DWANT_ALLEGROGL=off -DWANT_LOADPNG=off -DWANT_LOGG=off
                 -DWANT_JPGALLEG=off -DWANT_EXAMPLES=off -DWANT_TOOLS=off -DWANT_TESTS=off
                 -DWANT_DOCS=off -DCMAKE_BUILD_TYPE=Release)

packages=(cmake make python3 patch gcc-mingw-w64-x86-64-win32
          g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
          wine wine64)
"$top/tools/install_packages.sh" windows "${packages[@]}"

. "$top/tools/linux_build.sh"
linux_build
jobs=$(nproc 2>/dev/null || echo 2)
. "$top/tools/logged.sh"
src=$("$top/tools/allegro_source.sh" windows "$cache" "$win"/allegro-*.patch)

# What the built library depends on (the source's stamp names the tarball
# and the patches); a change of any of it builds it again.
stamp=$( { cat "$src/zarn-stamp"; echo "${allegro_options[*]}";
           cat "$win/toolchain-x86_64-w64-mingw32.cmake"; } | sha256sum)
prefix=$cache/prefix
build_allegro() {
  cmake -S "$src" -B "$cache/build" -Wno-dev \
    -DCMAKE_TOOLCHAIN_FILE="$win/toolchain-x86_64-w64-mingw32.cmake" \
    -DCMAKE_INSTALL_PREFIX="$prefix" "${allegro_options[@]}" &&
    cmake --build "$cache/build" -j"$jobs" &&
    cmake --install "$cache/build"
}
if [ "$(cat "$prefix/zarn-stamp" 2>/dev/null)" != "$stamp" ]; then
  echo "windows: building Allegro (static, for x86_64-w64-mingw32)"
  rm -rf "$cache/build" "$prefix"
  logged windows "Allegro's build" "$cache/build.log" build_allegro
  echo "$stamp" >"$prefix/zarn-stamp"
fi

cmake -S "$top" -B "$out" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$win/toolchain-x86_64-w64-mingw32.cmake" \
  -DZARN_ALLEGRO_PREFIX="$prefix" -DZARN_LINUX_BUILD="$top/build" >/dev/null
cmake --build "$out" -j"$jobs" >/dev/null
echo "$out/zarn-$(version "$out")-win64.zip"
