#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds ZARN for the browser, by the same code:
#   build-web/zarn.html             the game in one self-contained page
#   build-web/zarn-VERSION-web.zip  the page as index.html, with a README.txt
#   build-web/zarn-trace.js         the replay tool: node build-web/zarn-trace.js ...
# It ends by printing their paths, one a line, in the order zip, tool, page,
# whatever the locale (tools/webpage.py reads them so).
#
# It installs what it needs (Debian packages, only those missing: Debian's
# own emscripten, which works offline, and node, which runs its tools and
# the replay tool),
# builds the Linux game first if its zarn.dat is missing (the page holds that
# very pack), fetches Allegro 4.4.3.1's source once (tools/allegro_source.sh)
# and compiles the library's portable core for WebAssembly within the build,
# which keeps it: later runs only build the game again. The source is the
# same for every checkout: it is kept outside the tree, in ZARN_CACHE (by
# default ~/.cache/zarn/allegro-web), so that fresh clones fetch it no more.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$top/build-web
cache=${ZARN_CACHE:-${XDG_CACHE_HOME:-$HOME/.cache}/zarn}/allegro-web

packages=(cmake make python3 emscripten nodejs)
"$top/tools/install_packages.sh" web "${packages[@]}"

. "$top/tools/linux_build.sh"
linux_build
. "$top/tools/logged.sh"
src=$("$top/tools/allegro_source.sh" web "$cache")

# Debian's node does not look in Debian's own folder of node modules, where
# emscripten's optimizer finds its parser.
export NODE_PATH=/usr/share/nodejs
# Debian's emscripten runs on the first python3 on the PATH; a version
# manager's stand-in there (pyenv's shim runs some forty shell scripts a
# call) doubled the CPU of each of the build's many emcc calls. Debian's own
# python3 is the one it is packaged for.
export EMSDK_PYTHON=${EMSDK_PYTHON:-/usr/bin/python3}
jobs=$(nproc 2>/dev/null || echo 2)
# The compiled library is kept beside its source, named for everything it
# is made from: the source, the rules that compile it and the compiler.
made_of=$(cat "$src/zarn-stamp" "$top/packaging/web/allegro.cmake" "$top/packaging/web/CMakeLists.txt" \
  "$top/CMakeLists.txt" && find "$top/packaging/web/allegro" -type f -print0 | sort -z | xargs -0 cat &&
  emcc --version)
library=$cache/libzarn_allegro-$(printf '%s' "$made_of" | sha256sum | cut -c1-16).a
kept=$library
[ -f "$library" ] || kept=
build() {
  emcmake cmake -S "$top" -B "$out" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DZARN_WERROR=ON -DZARN_ALLEGRO_SOURCE="$src" -DZARN_LINUX_BUILD="$top/build" \
    -DZARN_ALLEGRO_LIBRARY="$kept" &&
    cmake --build "$out" -j"$jobs"
}
mkdir -p "$out"
logged web "the build" "$out/build.log" build
if [ -z "$kept" ]; then
  cp "$out/libzarn_allegro.a" "$library.$$" && mv "$library.$$" "$library"
fi
printf '%s\n' "$out/zarn-$(version "$out")-web.zip" "$out/zarn-trace.js" "$out/zarn.html"
