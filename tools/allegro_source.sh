#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Allegro 4.4.3.1's upstream source for the builds that compile the library
# themselves (tools/windows.sh, tools/web.sh):
#   allegro_source.sh WHO DIR [PATCH...]
# fetches the tarball into DIR once, from Debian's source archive, checks it
# against the SHA-256 recorded here, unpacks it into DIR/src with the patches
# given applied (only when DIR/src does not hold just that already) and
# prints DIR/src. DIR/src/zarn-stamp names what it holds, for the caller's
# own stamps. WHO names the caller in what it prints.
set -euo pipefail
who=$1
dir=$2
shift 2

# The source tarball's name in Debian's archive, and its SHA-256 as recorded
# the day it was first fetched: the download must match it byte for byte.
tarball=allegro4.4_4.4.3.1.orig.tar.gz
tarball_sha256=ec19dbc9a021244582b4819b3583ee594b50141f9fcf6944a4ed8069cbf8d4d4

# Fetches the tarball with apt's own downloader from a source list of our
# own, given to apt for this one call: the system's apt set-up is untouched.
fetch() {
  local url
  tmp=$(mktemp -d)  # global, for the trap: gone however the script ends
  trap 'rm -rf "$tmp"' EXIT
  mkdir -p "$tmp/lists/partial" "$tmp/parts"
  echo "deb-src [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg]" \
       "http://deb.debian.org/debian bookworm main" >"$tmp/sources.list"
  local apt=(-o Dir::Etc::sourcelist="$tmp/sources.list" -o Dir::Etc::sourceparts="$tmp/parts"
             -o Dir::State::Lists="$tmp/lists" -o APT::Sandbox::User="$(id -un)")
  echo "$who: fetching Allegro's source from Debian's source archive" >&2
  apt-get "${apt[@]}" update -qq
  url=$(apt-get "${apt[@]}" source --print-uris allegro4.4 2>/dev/null |
        grep -o "'[^']*/$tarball'" | tr -d "'")
  [ -n "$url" ] || { echo "$who: $tarball is not in Debian's source archive" >&2; exit 1; }
  /usr/lib/apt/apt-helper -o APT::Sandbox::User="$(id -un)" download-file \
    "$url" "$dir/$tarball.part" "SHA256:$tarball_sha256" >/dev/null
  mv "$dir/$tarball.part" "$dir/$tarball"
}

sha() { sha256sum "$@" | cut -d' ' -f1; }
mkdir -p "$dir"
if [ ! -f "$dir/$tarball" ] || [ "$(sha "$dir/$tarball")" != "$tarball_sha256" ]; then
  fetch
fi
if [ "$(sha "$dir/$tarball")" != "$tarball_sha256" ]; then
  echo "$who: $dir/$tarball does not have the recorded SHA-256" >&2
  exit 1
fi

# The tarball's SHA-256 and the patches': an unpacking interrupted before
# the stamp is written is made anew.
src=$dir/src
stamp=$( { echo "$tarball_sha256"; cat /dev/null "$@"; } | sha)
if [ "$(cat "$src/zarn-stamp" 2>/dev/null)" != "$stamp" ]; then
  rm -rf "$src"
  mkdir -p "$src"
  tar -xzf "$dir/$tarball" -C "$src" --strip-components=1
  for p in "$@"; do
    patch -d "$src" -p1 --quiet <"$p"
  done
  echo "$stamp" >"$src/zarn-stamp"
fi
echo "$src"
