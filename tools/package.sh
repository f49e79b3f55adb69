#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package of the game: package.sh [OUT_DIR], by default
# build/packages. Install it with `apt install ./OUT_DIR/zarn_*.deb`.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$top/build/packages}")
"$top/tools/setup.sh" --game
# The package's dependencies are read from what the game links, by dpkg-dev.
"$top/tools/install_packages.sh" package dpkg-dev
mkdir -p "$out"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
cpack --config "$top/build/CPackConfig.cmake" -B "$tmp" >/dev/null
deb=$(cd "$tmp" && echo zarn_*.deb)
mv "$tmp/$deb" "$out/"
echo "$out/$deb"
