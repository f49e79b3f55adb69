#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Prints the benchmark table, measured in one run on this machine (about eight
# minutes; run it on an otherwise idle machine): tools/bench.sh
# Xvfb runs on the first free display of ZARN_DISPLAYS (by default :70..:89).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/setup.sh" --bench
exec python3 "$top/tools/bench.py"
