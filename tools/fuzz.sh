#!/usr/bin/env bash
# SPDX-License-Identifier: MIT
# Runs one libFuzzer target for a while: fuzz.sh TARGET SECONDS
# TARGET is hiscore (the high-score file), script (zarn-trace's script lines)
# or pack (zarn.dat and its check). Every committed input in
# tests/fuzz/corpus/TARGET runs first; what the fuzzer learns is kept in
# build-fuzz/corpus/TARGET for the next run. A crash leaves its input in
# build-fuzz/crashes/ and the exit value non-zero: fix it, then copy the input
# into tests/fuzz/corpus/TARGET so it stays a regression case.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ $# -ne 2 ] || ! [[ $2 =~ ^[0-9]+$ ]]; then
  echo "usage: fuzz.sh hiscore|script|pack SECONDS" >&2
  exit 2
fi
target=$1 seconds=$2
case $target in hiscore | script | pack) ;; *)
  echo "fuzz.sh: no target '$target' (hiscore, script or pack)" >&2
  exit 2
  ;;
esac
exe=$top/build-fuzz/tests/fuzz/fuzz_$target
[ -x "$exe" ] || "$top/tools/setup.sh" --fuzz
work=$top/build-fuzz/corpus/$target
mkdir -p "$work" "$top/build-fuzz/crashes"
# Leaks count as failures too, but for the one the library's loader makes
# (see the file); -max_len leaves room beyond the largest seed.
export LSAN_OPTIONS=suppressions=$top/tests/fuzz/lsan.supp${LSAN_OPTIONS:+:$LSAN_OPTIONS}
exec "$exe" -max_total_time="$seconds" -timeout=10 -rss_limit_mb=1024 \
  -max_len=16384 -print_final_stats=1 -detect_leaks=1 \
  -artifact_prefix="$top/build-fuzz/crashes/$target-" \
  "$work" "$top/tests/fuzz/corpus/$target"
