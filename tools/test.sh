#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Sets up and builds what every test needs, then runs the tests and ends
# with one "N passed, N failed" line: every test, or with -k WORD those whose
# names hold WORD. The game with its tests and the AddressSanitizer build
# (every replay runs on it) are made first, the page beside them; the other
# builds that only some tests name in their BUILDS (ThreadSanitizer, the
# packager's, the fuzz targets) the runner makes beside the tests that need
# none, and the Windows zip is made by its test (tools/replay.py's built_by).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/setup.sh" --pack
# A whole run starts the page's build at once, as soon as the pack it holds
# is made: its tests are the longest, and wait for it. The runner's own
# build of the page then waits for this one (both lock tools/web.sh), and
# tells what failed, if anything did.
case " $* " in
*" -k "*) ;;
*) flock "$top/tools/web.sh" "$top/tools/web.sh" >/dev/null 2>&1 & ;;
esac
"$top/tools/setup.sh" --asan
export ASAN_OPTIONS=${ASAN_OPTIONS:-detect_leaks=1:abort_on_error=0}
export UBSAN_OPTIONS=${UBSAN_OPTIONS:-print_stacktrace=1:halt_on_error=1}
exec python3 "$top/tests/run_tests.py" "$top/build" "$top/build-asan" "$@"
