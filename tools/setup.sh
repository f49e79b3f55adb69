#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Installs what the build needs (Debian packages, only those missing) and
# builds the game with its tests, plus the checking builds asked for:
#   setup.sh [--asan] [--tsan] [--fuzz] [--release]
#   setup.sh --packages    only installs the packages the game itself needs
#   setup.sh --game        those, and builds build/ as the game alone (a tree
#                          already set up for the tests keeps them): what the
#                          package, the contact sheet and the other systems'
#                          builds need
#   setup.sh --bench       the game with its tests, and what the benchmark's
#                          real-window runs need, no more
# --asan: the replay tool and the unit tests with AddressSanitizer and
#   UndefinedBehaviorSanitizer (build-asan)
# --tsan: the real program with ThreadSanitizer (build-tsan)
# --fuzz: the libFuzzer targets, built with clang (build-fuzz)
# --release: the game as a packager builds it (build-release): a Release
#   build with Debian's flags and without -Werror, which must stay possible
# Installing needs root; building does not, and should not be done as root
# in a tree a player builds in (tools/play.sh).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)

# The game needs only these; the tests' build adds GoogleTest and Google
# Benchmark, the real-window runs an X server and what drives it, and the
# rest are the suite's checks.
game_packages=(cmake g++ make pkg-config liballegro4-dev libx11-dev libxrandr-dev)
build_packages=(libgtest-dev libbenchmark-dev python3)
window_packages=(xvfb xdotool imagemagick x11-utils x11-xserver-utils)
check_packages=(sox clang-format desktop-file-utils appstream dpkg-dev groff-base lintian valgrind)
packages=("${game_packages[@]}" "${build_packages[@]}" "${window_packages[@]}" "${check_packages[@]}")
case ${1:-} in
--packages | --game) packages=("${game_packages[@]}") ;;
--bench) packages=("${game_packages[@]}" "${build_packages[@]}" "${window_packages[@]}") ;;
esac
for arg in "$@"; do
  case $arg in
  --fuzz) packages+=(clang-14 libclang-rt-14-dev) ;;
  --asan | --tsan | --release | --packages | --game | --bench) ;;
  *) echo "setup: unknown option $arg" >&2; exit 2 ;;
  esac
done
"$top/tools/install_packages.sh" setup "${packages[@]}"

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
case ${1:-} in
--packages) exit 0 ;;
--game)
  testing=()
  [ -f "$top/build/CMakeCache.txt" ] || testing=(-DBUILD_TESTING=OFF)
  build build "${testing[@]}"
  exit 0
  ;;
--bench) shift ;;
esac
# The trees are independent: they build side by side, so that one's
# configuring and linking, which use one core, leave the other to the rest.
# The trees only the suite uses compile as unity builds (see CMakeLists.txt)
# and with line tables as their only debugging information (-g1): the
# sanitizers' reports still name each frame's file and line, and nothing
# reads more. Those that build no unit test leave the tests' configuring
# out too (BUILD_TESTING=OFF): it was most of their configuring's CPU.
checking=(-DCMAKE_UNITY_BUILD=ON "-DCMAKE_CXX_FLAGS_RELWITHDEBINFO=-O2 -g1 -DNDEBUG")
builds=()
build build -DBUILD_TESTING=ON &
builds+=($!)
for arg in "$@"; do
  case $arg in
  --asan) build build-asan -DZARN_SANITIZE=ON "${checking[@]}" -- zarn-trace zarn_unit_tests & ;;
  --tsan) build build-tsan -DZARN_TSAN=ON -DBUILD_TESTING=OFF "${checking[@]}" -- zarn & ;;
  --fuzz) build build-fuzz -DZARN_FUZZ=ON -DCMAKE_CXX_COMPILER=clang++-14 -DBUILD_TESTING=OFF \
            "${checking[@]}" -- fuzz_hiscore fuzz_script fuzz_pack & ;;
  --release)
    CXXFLAGS="$(dpkg-buildflags --get CXXFLAGS) $(dpkg-buildflags --get CPPFLAGS)" \
      LDFLAGS=$(dpkg-buildflags --get LDFLAGS) WERROR=OFF \
      build build-release -DCMAKE_BUILD_TYPE=Release -- zarn zarn-trace zarn_pack & ;;
  esac
  builds+=($!)
done
failed=0
for pid in "${builds[@]}"; do
  wait "$pid" || failed=1
done
exit $failed
