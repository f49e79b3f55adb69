#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up and builds what the chosen tests need, then runs them and ends with
# one "N passed, N failed" line: every test, or with -k WORD those whose
# names hold WORD. The AddressSanitizer build is always made (every replay
# runs on it); the others only when a file of chosen tests names them in its
# BUILDS (tests/run_tests.py --needs).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
word=()
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  [ "${args[i]}" = -k ] && word=(-k "${args[i + 1]:-}")
done
needs=$(python3 "$top/tests/run_tests.py" --needs "${word[@]}")
builds=(--asan)
for n in $needs; do
  case $n in tsan | fuzz | release) builds+=("--$n") ;; esac
done
"$top/tools/setup.sh" "${builds[@]}"
# The web and Windows builds are run by the tests that ask for their outputs
# (tools/replay.py's built_by): the runner makes the page once, beside the
# tests that need no page when it is not built yet, and the Windows zip
# builds beside the other tests.
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec python3 "$top/tests/run_tests.py" "$top/build" "$top/build-asan" "$@"
