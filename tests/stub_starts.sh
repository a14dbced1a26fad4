#!/usr/bin/env bash
# The bare stub starts under Wine and ends cleanly: without a package to
# extract that is exit code 7. On any other code the run's own log says why,
# so it is printed with the code.
#
#   stub_starts.sh WINE_RUN PREFIX STUB
set -uo pipefail

wine_run=$1
prefix=$2
stub=$3
logs=$prefix/drive_c/ProgramData/Ulverin/Automation/Logfiles
marker=$(mktemp)

# The previous test's Wine session may still be closing down (its system
# processes, the server's grace period); the stub starts in a fresh one, as
# on a real machine. A process that outlives its test is waited for at
# most 30 s and then shows in the report below.
WINEPREFIX=$(realpath -m "$prefix") timeout 30 wineserver -w 2>/dev/null

"$wine_run" --prefix "$prefix" "$stub" -silent
code=$?
if [ "$code" -eq 7 ]; then
  rm -f "$marker"
  exit 0
fi
echo "stub_starts: the bare stub ended with exit code $code, expected 7" >&2
find "$logs" -maxdepth 1 -type f -newer "$marker" \
  -exec sh -c 'for log; do echo "--- $log"; cat "$log"; done' _ {} + >&2 2>/dev/null
rm -f "$marker"
# Another process of the prefix (one holding the single-instance mutex, say)
# shows here.
echo "--- Windows processes running now" >&2
ps -eo pid,etime,args | grep -i '[.]exe' >&2
exit 1
