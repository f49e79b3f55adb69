#!/usr/bin/env bash
# Sets up and builds what is missing, then starts the game through the same
# launcher an installed game uses, here pointing into build/: the best score
# is kept in the player's data directory ($XDG_DATA_HOME/zarn, else
# ~/.local/share/zarn), where it survives rebuilds.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/setup.sh"
exec "$top/build/packaging/zarn"
