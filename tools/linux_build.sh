#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# The other builds take the Linux build's pack and icons as they are
# (tools/web.sh, tools/windows.sh): this builds the Linux game with
# tools/setup.sh when either is missing from build/.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
[ -f "$top/build/zarn.dat" ] && [ -d "$top/build/packaging/icons" ] || "$top/tools/setup.sh"
