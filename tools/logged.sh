# SPDX-License-Identifier: MIT
# Sourced by the build scripts that keep a long build's output out of sight
# (tools/windows.sh, tools/web.sh):
#   logged WHO WHAT LOG COMMAND...
# runs COMMAND (a function of the caller's, say) with all its output in LOG;
# when it fails, LOG's last 40 lines and where LOG is go to stderr and the
# script ends with 1.
logged() {
  local who=$1 what=$2 log=$3
  shift 3
  if ! "$@" >"$log" 2>&1; then
    tail -n 40 "$log" >&2
    echo "$who: $what failed; its log is $log" >&2
    exit 1
  fi
}
