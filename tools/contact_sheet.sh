#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Draws every object of the built zarn.dat on one PNG: pictures enlarged with
# their index and name, the screens, the font, the palette and the samples.
#   tools/contact_sheet.sh [OUT.png]     (default: build/contact-sheet.png)
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out=${1:-$top/build/contact-sheet.png}
"$top/tools/setup.sh" --game
"$top/tools/install_packages.sh" contact_sheet imagemagick
tmp=$(mktemp --suffix=.bmp)
trap 'rm -f "$tmp"' EXIT
"$top/build/zarn-sheet" "$top/build/zarn.dat" "$tmp"
convert "$tmp" -strip -define png:exclude-chunk=date,time "$out"
echo "$out"
