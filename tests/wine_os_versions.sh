#!/usr/bin/env bash
# Runs the operating-system identification test under the Windows versions a
# Wine prefix can report, then gives the prefix its default version back.
#
#   wine_os_versions.sh WINE_RUN PREFIX UNIT_TESTS_EXE
set -euo pipefail

wine_run=$1
wine=$(dirname "$wine_run")/wine
prefix=$2
exe=$3

"$wine_run" --prefix "$prefix" --init
export WINEPREFIX
WINEPREFIX=$(realpath -m "$prefix")
export WINEDEBUG=-all

restore() {
  "$wine" reg delete 'HKCU\Software\Wine' /v Version /f >/dev/null 2>&1 || true
  wineserver -w
}
trap restore EXIT

for version in winxp win7 win81; do
  echo "== prefix version $version"
  "$wine" reg add 'HKCU\Software\Wine' /v Version /d "$version" /f >/dev/null
  wineserver -w
  ZEL_EXPECT_WINVER=$version "$wine_run" --prefix "$prefix" "$exe" \
    --gtest_filter='OsValidatorUnderWine.*'
done
