#!/usr/bin/env bash
# The main job: pack the example package with zelpack, run it silently under
# Wine and show what it did.
set -euo pipefail
cd "$(dirname "$0")/.."
prefix=build/i686/wineprefix
stub=out/ZelSelfExtractorUI.exe
if ! tools/wine --can-run-32bit; then
  echo "== This machine cannot run 32-bit programs: the demo uses the x86_64 stub"
  prefix=build/x64/wineprefix
  stub=out/x64/ZelSelfExtractorUI.exe
fi
stage="$prefix/drive_c/zeldemo"
logs="$prefix/drive_c/ProgramData/Ulverin/Automation/Logfiles"

tools/wine-run --prefix "$prefix" --init
rm -rf "$stage" "$logs" "$prefix/drive_c/users/root/Temp/ZelDemo"
mkdir -p "$stage"

echo "== zelpack build examples/demo-package -o C:\\zeldemo\\Setup.exe"
out/zelpack build examples/demo-package -o "$stage/Setup.exe" --stub "$stub"
out/zelpack inspect "$stage/Setup.exe"

echo
echo "== Running C:\\zeldemo\\Setup.exe -silent under Wine"
set +e
tools/wine-run --prefix "$prefix" "$stage/Setup.exe" -silent
code=$?
set -e
[ $code -ge 128 ] && code=$((code - 256))
echo "== Exit code: $code (docs/exit-codes.md)"

echo
echo "== Extracted into %TEMP%\\ZelDemo:"
(cd "$prefix/drive_c/users" && find . -path '*/Temp/ZelDemo/*' -type f -printf '%s bytes\t%p\n' | sort -k2)
echo
echo "== Extraction log (C:\\ProgramData\\Ulverin\\Automation\\Logfiles\\ZelDemo.log):"
tr -d '\r' < "$logs/ZelDemo.log"
exit $code
