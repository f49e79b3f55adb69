# SPDX-License-Identifier: MIT
# Sourced by the builds for other systems (tools/windows.sh, tools/web.sh),
# with $top the checkout:
#   linux_build        builds the Linux game (only the game, tools/setup.sh
#                      --game) unless its zarn.dat and icons, which the other
#                      systems' builds take, are there already
#   version DIR        the project's version as the build tree DIR has it,
#                      which names the files a build makes
linux_build() {
  [ -f "$top/build/zarn.dat" ] && [ -d "$top/build/packaging/icons" ] || "$top/tools/setup.sh" --game
}
version() {
  sed -n 's/^CMAKE_PROJECT_VERSION:STATIC=//p' "$1/CMakeCache.txt"
}
