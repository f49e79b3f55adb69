#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the build needs (Debian packages, only those missing) and
# builds the game, plus the checking builds asked for:
#   setup.sh [--asan] [--tsan] [--fuzz] [--release]
#   setup.sh --packages    only installs the packages the game itself needs
# --asan: everything with AddressSanitizer and UndefinedBehaviorSanitizer
# --tsan: the real program with ThreadSanitizer (build-tsan)
# --fuzz: the libFuzzer targets, built with clang (build-fuzz)
# --release: the game as a packager builds it (build-release): a Release
#   build with Debian's flags and without -Werror, which must stay possible
# Installing needs root; building does not, and should not be done as root
# in a tree a player builds in (tools/play.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

# The game needs only these; the rest are for the tests and the checks.
game_packages=(cmake g++ make pkg-config liballegro4-dev libx11-dev libxrandr-dev)
packages=("${game_packages[@]}" libgtest-dev python3
          xvfb xdotool imagemagick x11-utils x11-xserver-utils sox clang-format
          desktop-file-utils appstream dpkg-dev groff-base lintian
          valgrind clang-14 libclang-rt-14-dev libbenchmark-dev)
if [ "${1:-}" = --packages ]; then
  packages=("${game_packages[@]}")
fi
"$top/tools/install_packages.sh" setup "${packages[@]}"
[ "${1:-}" = --packages ] && exit 0

jobs=$(nproc 2>/dev/null || echo 2)
# build DIR [CMAKE_OPTION...] [-- TARGET...]: only the targets named, if any.
# Our own builds turn warnings into errors; WERROR=OFF leaves them warnings.
build() {
  local dir=$1; shift
  local options=(-DCMAKE_BUILD_TYPE=RelWithDebInfo "-DZARN_WERROR=${WERROR:-ON}") targets=()
  while [ $# -gt 0 ] && [ "$1" != "--" ]; do options+=("$1"); shift; done
  [ $# -gt 0 ] && shift
  for t in "$@"; do targets+=(--target "$t"); done
  cmake -S "$top" -B "$top/$dir" "${options[@]}" >/dev/null
  cmake --build "$top/$dir" -j"$jobs" "${targets[@]}" >/dev/null
}
build build -DBUILD_TESTING=ON
for arg in "$@"; do
  case $arg in
  --asan) build build-asan -DZARN_SANITIZE=ON ;;
  --tsan) build build-tsan -DZARN_TSAN=ON -- zarn ;;
  --fuzz) build build-fuzz -DZARN_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 \
            -- fuzz_hiscore fuzz_script fuzz_pack ;;
  --release)
    CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
      LDFLAGS=$(dpkg-buildflags --get LDFLAGS) WERROR=OFF \
      build build-release -DCMAKE_BUILD_TYPE=Release -- zarn zarn-trace zarn_pack ;;
  *) echo "setup: unknown option $arg" >&2; exit 2 ;;
  esac
done
