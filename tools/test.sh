#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up and builds what is missing, then runs every test and ends with one
# "N passed, N failed" line. With -k WORD only the tests whose names hold
# WORD run, and only the checking builds they need are built: the
# AddressSanitizer build always (every replay runs on it), ThreadSanitizer's
# and the fuzz targets only for the tests that use them.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
word=
args=("$@")
for ((i = 0; i < ${#args[@]}; i++)); do
  [ "${args[i]}" = -k ] && word=${args[i + 1]:-}
done
builds=(--asan --tsan --fuzz --release)
if [ -n "$word" ]; then
  # The files holding a chosen test; a file that runs build-tsan's program
  # or tools/fuzz.sh needs that build.
  files=$(cd "$top/tests" && grep -o '^def test_\w*' test_*.py | sed 's/:def /./' |
    grep -F -- "$word" | cut -d. -f1 | sort -u | sed 's/$/.py/' || true)
  builds=(--asan)
  if [ -n "$files" ]; then
    (cd "$top/tests" && grep -qs build-tsan $files) && builds+=(--tsan)
    (cd "$top/tests" && grep -qs fuzz.sh $files) && builds+=(--fuzz)
  fi
fi
"$top/tools/setup.sh" "${builds[@]}"
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec python3 "$top/tests/run_tests.py" "$top/build" "$top/build-asan" "$@"
