# SPDX-License-Identifier: MIT
# Run by CPack on the staged tree just before the Debian package is made:
# Debian keeps a game's command in /usr/games (on every player's PATH
# there), where other installations keep it in bin/ under their prefix. The
# package is made by the game's own build, never uploaded to Debian's
# archive, so its first changelog entry closes no request for it.
set(staged ${CPACK_TEMPORARY_INSTALL_DIRECTORY}${CPACK_PACKAGING_INSTALL_PREFIX})
file(MAKE_DIRECTORY ${staged}/games)
file(RENAME ${staged}/bin/zarn ${staged}/games/zarn)
file(GLOB left ${staged}/bin/*)
if(NOT left)
  file(REMOVE_RECURSE ${staged}/bin)
endif()
file(WRITE ${staged}/share/lintian/overrides/zarn
     "initial-upload-closes-no-bugs [usr/share/doc/zarn/changelog.Debian.gz:1]\n")
