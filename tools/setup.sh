#!/usr/bin/env bash
# Installs what the build needs (Debian packages, only those missing) and
# builds the game, plus the sanitizer build when asked: setup.sh [--asan]
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

packages=(cmake g++ make pkg-config liballegro4-dev libgtest-dev python3
          xvfb xdotool imagemagick x11-utils sox clang-format
          desktop-file-utils appstream dpkg-dev groff-base)
missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}' "$p" 2>/dev/null | grep -q 'install ok installed' ||
    missing+=("$p")
done
if [ ${#missing[@]} -gt 0 ]; then
  echo "setup: installing ${missing[*]}"
  if [ "$(id -u)" -ne 0 ]; then
    echo "setup: these Debian packages are missing; run as root or install them: ${missing[*]}" >&2
    exit 1
  fi
  export DEBIAN_FRONTEND=noninteractive
  apt-get update -qq
  apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi

jobs=$(nproc 2>/dev/null || echo 2)
build() {
  local dir=$1; shift
  cmake -S "$top" -B "$top/$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo "$@" >/dev/null
  cmake --build "$top/$dir" -j"$jobs" >/dev/null
}
build build
if [ "${1:-}" = "--asan" ]; then
  build build-asan -DZARN_SANITIZE=ON
fi
