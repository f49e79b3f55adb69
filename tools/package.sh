#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the Debian package of the game: package.sh [OUT_DIR], by default
# build/packages. Install it with `apt install ./OUT_DIR/zarn_*.deb`.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=$(realpath -m "${1:-$top/build/packages}")
"$top/tools/setup.sh"
mkdir -p "$out"
cpack --config "$top/build/CPackConfig.cmake" -B "$out" >/dev/null
rm -rf "$out/_CPack_Packages"
ls "$out"/zarn_*.deb
