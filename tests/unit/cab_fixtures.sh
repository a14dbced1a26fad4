#!/usr/bin/env bash
# Makes the cabinets that the cabinet engine tests extract, with writers we
# did not write: gcab (Linux) and Wine's cabarc (also a spanning set), and
# zelpack's own beside them (when it is built). Each gets the package
# signature "TAVO" in place of "MSCF"; mscf.cab keeps the standard one.
#
#   cab_fixtures.sh OUT_DIR WINE_RUN WINEPREFIX [ZELPACK [STUB]]
set -euo pipefail

out=$1
wine_run=$2
prefix=$3
repo=$(cd "$(dirname "$0")/../.." && pwd)
zelpack=${4:-$repo/out/zelpack}
stub=${5:-$repo/out/ZelSelfExtractorUI.exe}

rm -rf "$out"
mkdir -p "$out/src/Data/Sub" "$out/span"
src="$out/src"
printf 'hello\r\n' >"$src/a.txt"
: >"$src/empty.txt"
printf 'sub\r\n' >"$src/Data/Sub/c.txt"
# Incompressible, so that the spanning set below needs three cabinets and a
# file runs on from one cabinet into the next.
perl -e 'srand(7); print map { chr int rand 256 } 1 .. 120000' >"$src/Data/b.bin"
files=(a.txt Data/b.bin Data/Sub/c.txt empty.txt)
winfiles=('a.txt' 'Data\b.bin' 'Data\Sub\c.txt' 'empty.txt')

to_package() {
  printf 'TAVO' | dd of="$1" bs=1 count=4 conv=notrunc status=none
}

(cd "$src" && gcab -c -z "$out/gcab.cab" "${files[@]}")
cp "$out/gcab.cab" "$out/mscf.cab"
to_package "$out/gcab.cab"

(
  cd "$src"
  "$wine_run" --prefix "$prefix" cabarc -p -m mszip N '..\cabarc.cab' "${winfiles[@]}" >/dev/null
  # Set 4242, at most 50000 bytes a cabinet: pkg.001 to pkg.003.
  "$wine_run" --prefix "$prefix" cabarc -p -m mszip -i 4242 -d 50000 N '..\span\pkg.00*' "${winfiles[@]}" >/dev/null
)
to_package "$out/cabarc.cab"
for part in "$out"/span/pkg.00?; do to_package "$part"; done
[ -f "$out/span/pkg.003" ] || { echo "cab_fixtures: cabarc made no three-part set" >&2; exit 1; }

# zelpack's own cabinets of the same tree: its package cabinet (the last
# record of a single-file package) and a three-part set of set 4242. Built
# after the stubs, so without it these are left out and their tests skip.
if [ -x "$zelpack" ]; then
  pkg="$out/zelpack_pkg"
  mkdir -p "$pkg/single" "$pkg/multi" "$out/zelpack_span"
  for kind in single multi; do cp -a "$src" "$pkg/$kind/content"; done
  printf '[Package]\nName=Fixture\n' >"$pkg/single/Properties_Tavo.ini"
  printf '[Package]\nName=Fixture\nMultiPartDownload=1\nMultipartFileName=zpkg\n[Tavo]\nGUID2=4242\n' \
    >"$pkg/multi/Properties_Tavo.ini"
  "$zelpack" build "$pkg/single" -o "$pkg/single.exe" --stub "$stub" -q
  size=$("$zelpack" inspect "$pkg/single.exe" | sed -n 's/^  WebCab1  kind 100 (package)  size \([0-9]*\) .*/\1/p')
  tail -c "$size" "$pkg/single.exe" >"$out/zelpack.cab"
  "$zelpack" build "$pkg/multi" -o "$pkg/multi.exe" --stub "$stub" -q --part-size 50000
  mv "$pkg"/zpkg.0?? "$out/zelpack_span/"
  [ -f "$out/zelpack_span/zpkg.003" ] || { echo "cab_fixtures: zelpack made no three-part set" >&2; exit 1; }
  rm -rf "$pkg"
else
  echo "cab_fixtures: $zelpack is not built yet; zelpack's cabinets are left out"
fi

echo "cab_fixtures: cabinets ready in $out"
