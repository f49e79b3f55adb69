#!/usr/bin/env bash
# Sets up and builds what is missing, then starts the game. The game keeps
# its pack and high-score file in the build folder, where it runs.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/setup.sh"
cd "$top/build"
exec ./zarn
