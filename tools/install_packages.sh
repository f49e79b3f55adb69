#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs the Debian packages named that are missing, and only those:
#   install_packages.sh WHO PACKAGE...
# WHO names the caller in what it prints. Installing needs root; when nothing
# is missing it needs nothing, so a player's own build runs as the player.
set -euo pipefail
who=$1; shift
missing=()
for p in "$@"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$p")
done
[ ${#missing[@]} -eq 0 ] && exit 0
echo "$who: installing ${missing[*]}"
if [ "$(id -u)" -ne 0 ]; then
  echo "$who: these Debian packages are missing; run as root or install them: ${missing[*]}" >&2
  exit 1
fi
export DEBIAN_FRONTEND=noninteractive
# Another install may hold apt's lock for a while: wait for it.
apt=(apt-get -o DPkg::Lock::Timeout=900)
"${apt[@]}" update -qq
"${apt[@]}" install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
