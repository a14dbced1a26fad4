#!/usr/bin/env bash
# The main job: run the stub silently under Wine and show what it did.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=build/i686/wineprefix
tools/wine-run --prefix "$prefix" --init
log="$prefix/drive_c/ProgramData/Ulverin/Automation/Logfiles/Tavo.log"
stage="$prefix/drive_c/zeldemo"
rm -rf "$stage" && mkdir -p "$stage"
cp out/ZelSelfExtractorUI.exe "$stage/Setup.exe"
echo "== Running C:\\zeldemo\\Setup.exe -silent under Wine"
set +e
tools/wine-run --prefix "$prefix" "$stage/Setup.exe" -silent
code=$?
set -e
[ $code -ge 128 ] && code=$((code - 256))
echo "== Exit code: $code"
echo "== Master log (C:\\ProgramData\\Ulverin\\Automation\\Logfiles\\Tavo.log):"
tr -d '\r' < "$log"
exit $code
