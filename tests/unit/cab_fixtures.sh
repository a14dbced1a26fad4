#!/usr/bin/env bash
# Makes the cabinets that the cabinet engine tests extract, with writers we
# did not write: gcab (Linux) and Wine's cabarc (also a spanning set). Each
# gets the package signature "TAVO" in place of "MSCF"; mscf.cab keeps the
# standard one.
#
#   cab_fixtures.sh OUT_DIR WINE_RUN WINEPREFIX
set -euo pipefail

out=$1
wine_run=$2
prefix=$3

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

# zelpack-made cabinets join here once the packaging tool is in the tree:
# write its package cabinet of the same src tree to "$out/zelpack.cab" and
# its three-part set of set 4242 to "$out/zelpack_span/<name>.001..003";
# the tests pick them up by those names.

echo "cab_fixtures: cabinets ready in $out"
