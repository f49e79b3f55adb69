#!/usr/bin/env bash
# Sets up and builds what is missing (plain, sanitizer and packager's builds), then runs
# every test and ends with one "N passed, N failed" line.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/setup.sh" --asan --tsan --fuzz --release
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec python3 "$top/tests/run_tests.py" "$top/build" "$top/build-asan" "$@"
