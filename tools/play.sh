#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Builds the game (only the game: no tests) and starts it through the same
# launcher an installed game uses, here pointing into build/: the best score
# is kept in the player's data directory ($XDG_DATA_HOME/zarn, else
# ~/.local/share/zarn), where it survives rebuilds. Run it as yourself; the
# Debian packages it needs are installed once by root:
#   sudo ./tools/setup.sh --packages
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if ! "$top/tools/setup.sh" --packages; then
  echo "play: install what the game needs once with: sudo $top/tools/setup.sh --packages" >&2
  exit 1
fi
# A tree already set up for the tests keeps them; a new one is the game's alone.
testing=()
[ -f "$top/build/CMakeCache.txt" ] || testing=(-DBUILD_TESTING=OFF)
cmake -S "$top" -B "$top/build" -DCMAKE_BUILD_TYPE=RelWithDebInfo "${testing[@]}" >/dev/null
cmake --build "$top/build" -j"$(nproc 2>/dev/null || echo 2)" --target zarn zarn_pack >/dev/null
exec "$top/build/packaging/zarn"
