#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds ZARN for 64-bit Windows, by the same code, and packs the zip a player
# unpacks anywhere: build-win/zarn-VERSION-win64.zip (zarn.exe, zarn.dat and
# README.txt). The last line it prints is the zip's path.
#
# It installs what it needs (Debian packages, only those missing), builds the
# Linux game first if its zarn.dat is missing, fetches Allegro 4.4.3.1's
# upstream source once from Debian's source archive, patches it, cross-builds
# it as a static library, and builds zarn.exe against it. The download and
# the library are kept in build-win/allegro/, so later runs only build the
# game again; they are made anew when the patches or the toolchain change.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
win=$top/packaging/windows
out=$top/build-win
cache=$out/allegro

# The source tarball's name in Debian's archive, and its SHA-256 as recorded
# the day it was first fetched: the download must match it byte for byte.
tarball=allegro4.4_4.4.3.1.orig.tar.gz
tarball_sha256=ec19dbc9a021244582b4819b3583ee594b50141f9fcf6944a4ed8069cbf8d4d4
allegro_options=(-DSHARED=off -DWANT_ALLEGROGL=off -DWANT_LOADPNG=off -DWANT_LOGG=off
                 -DWANT_JPGALLEG=off -DWANT_EXAMPLES=off -DWANT_TOOLS=off -DWANT_TESTS=off
                 -DWANT_DOCS=off -DCMAKE_BUILD_TYPE=Release)

packages=(cmake make python3 patch gcc-mingw-w64-x86-64-win32
          g++-mingw-w64-x86-64-win32 binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
          wine wine64)
"$top/tools/install_packages.sh" windows "${packages[@]}"

[ -f "$top/build/zarn.dat" ] && [ -d "$top/build/packaging/icons" ] || "$top/tools/setup.sh"

jobs=$(nproc 2>/dev/null || echo 2)
mkdir -p "$cache"

# Fetches the tarball with apt's own downloader from a source list of our
# own, given to apt for this one call: the system's apt set-up is untouched.
fetch_allegro() {
  local tmp url
  tmp=$(mktemp -d)
  mkdir -p "$tmp/lists/partial" "$tmp/parts"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
       "http://deb.debian.org/debian bookworm main" >"$tmp/sources.list"
  local apt=(-o Dir::Etc::sourcelist="$tmp/sources.list" -o Dir::Etc::sourceparts="$tmp/parts"
             -o Dir::State::Lists="$tmp/lists" -o APT::Sandbox::User="$(id -un)")
  echo "windows: fetching Allegro's source from Debian's source archive"
  apt-get "${apt[@]}" update -qq
  url=$(apt-get "${apt[@]}" source --print-uris allegro4.4 2>/dev/null |
        grep -o "'[^']*/$tarball'" | tr -d "'")
  rm -rf "$tmp"
  [ -n "$url" ] || { echo "windows: $tarball is not in Debian's source archive" >&2; exit 1; }
  /usr/lib/apt/apt-helper -o APT::Sandbox::User="$(id -un)" download-file \
    "$url" "$cache/$tarball.part" "SHA256:$tarball_sha256" >/dev/null
  mv "$cache/$tarball.part" "$cache/$tarball"
}

sha() { sha256sum "$@" | cut -d' ' -f1; }
if [ ! -f "$cache/$tarball" ] || [ "$(sha "$cache/$tarball")" != "$tarball_sha256" ]; then
  fetch_allegro
fi
if [ "$(sha "$cache/$tarball")" != "$tarball_sha256" ]; then
  echo "windows: $cache/$tarball does not have the recorded SHA-256" >&2
  exit 1
fi

# What the built library depends on; a change of any of it builds it again.
stamp=$( { echo "$tarball_sha256 ${allegro_options[*]}";
           cat "$win"/allegro-*.patch "$win/toolchain-x86_64-w64-mingw32.cmake"; } | sha256sum)
prefix=$cache/prefix
if [ "$(cat "$prefix/zarn-stamp" 2>/dev/null)" != "$stamp" ]; then
  echo "windows: building Allegro (static, for x86_64-w64-mingw32)"
  rm -rf "$cache/src" "$cache/build" "$prefix"
  mkdir -p "$cache/src"
  tar -xzf "$cache/$tarball" -C "$cache/src" --strip-components=1
  for p in "$win"/allegro-*.patch; do
    patch -d "$cache/src" -p1 --quiet <"$p"
  done
  log=$cache/build.log
  if ! { cmake -S "$cache/src" -B "$cache/build" -Wno-dev \
           -DCMAKE_TOOLCHAIN_FILE="$win/toolchain-x86_64-w64-mingw32.cmake" \
           -DCMAKE_INSTALL_PREFIX="$prefix" "${allegro_options[@]}" &&
         cmake --build "$cache/build" -j"$jobs" &&
         cmake --install "$cache/build"; } >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "windows: Allegro's build failed; its log is $log" >&2
    exit 1
  fi
  echo "$stamp" >"$prefix/zarn-stamp"
fi

cmake -S "$top" -B "$out" -DCMAKE_BUILD_TYPE=Release \
  -DCMAKE_TOOLCHAIN_FILE="$win/toolchain-x86_64-w64-mingw32.cmake" \
  -DZARN_ALLEGRO_PREFIX="$prefix" -DZARN_LINUX_BUILD="$top/build" >/dev/null
cmake --build "$out" -j"$jobs" >/dev/null
ls "$out"/zarn-*-win64.zip -t | head -n 1
