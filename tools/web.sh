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
# own emscripten, which works offline, node, and Chromium to open the page),
# builds the Linux game first if its zarn.dat is missing (the page holds that
# very pack), fetches Allegro 4.4.3.1's source once (tools/allegro_source.sh)
# and compiles the library's portable core for WebAssembly within the build,
# which keeps it: later runs only build the game again.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$top/build-web
cache=$out/allegro

packages=(cmake make python3 emscripten nodejs chromium)
"$top/tools/install_packages.sh" web "${packages[@]}"
# The page's tests drive Chromium through playwright-core, which
# tools/webpage.py installs with npm at the version tools/web/package-lock.json
# pins; that version needs node 20 or later (Debian 12's own is 18).
node_major=$(node -p 'process.versions.node.split(".")[0]' 2>/dev/null || echo 0)
if ! command -v npm >/dev/null || [ "$node_major" -lt 20 ]; then
  echo "web: node 20 or later with npm is needed; found node $(node --version 2>/dev/null || echo none)," \
       "npm $(npm --version 2>/dev/null || echo none)" >&2
  exit 1
fi

"$top/tools/linux_build.sh"

. "$top/tools/logged.sh"
src=$("$top/tools/allegro_source.sh" web "$cache")

# Debian's node does not look in Debian's own folder of node modules, where
# emscripten's optimizer finds its parser.
export NODE_PATH=/usr/share/nodejs
jobs=$(nproc 2>/dev/null || echo 2)
build() {
  emcmake cmake -S "$top" -B "$out" -DCMAKE_BUILD_TYPE=Release -DBUILD_TESTING=OFF \
    -DZARN_WERROR=ON -DZARN_ALLEGRO_SOURCE="$src" -DZARN_LINUX_BUILD="$top/build" &&
    cmake --build "$out" -j"$jobs"
}
logged web "the build" "$out/build.log" build
printf '%s\n' "$(ls -t "$out"/zarn-*-web.zip | head -n 1)" "$out/zarn-trace.js" "$out/zarn.html"
