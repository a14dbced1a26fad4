#!/usr/bin/env bash
# Packing and extraction speed, side by side with other cabinet tools, on one
# generated tree. Not a test: see bench/README.md.
#
#   bench/run.sh [MIB] [--no-extract]      (default 200 MiB)
#
# Environment: ZELPACK, STUB (default out/ from `make build`), BENCH_PREFIX
# (the Wine prefix for the extraction part, default build/bench/wineprefix),
# BENCH_SEED (default 1), BENCH_THREADS (default: every core).
set -euo pipefail

repo=$(cd "$(dirname "$0")/.." && pwd)
mib=200
extract=1
for a in "$@"; do
  case $a in
    --no-extract) extract=0 ;;
    ''|*[!0-9]*) echo "usage: bench/run.sh [MIB] [--no-extract]" >&2; exit 2 ;;
    *) mib=$a ;;
  esac
done
zelpack=${ZELPACK:-$repo/out/zelpack}
stub=${STUB:-$repo/out/ZelSelfExtractorUI.exe}
prefix=${BENCH_PREFIX:-$repo/build/bench/wineprefix}
seed=${BENCH_SEED:-1}
threads=${BENCH_THREADS:-$(nproc)}
for tool in "$zelpack" "$stub"; do
  [ -f "$tool" ] || { echo "bench: $tool is missing; run make build first" >&2; exit 1; }
done
command -v gcab >/dev/null || { echo "bench: gcab is missing (apt-get install gcab)" >&2; exit 1; }

work=$(mktemp -d "${TMPDIR:-/tmp}/zel-bench.XXXXXX")
stage=
cleanup() {
  rm -rf "$work"
  if [ -n "$stage" ]; then
    rm -rf "$stage"
    WINEPREFIX=$prefix wineserver -k >/dev/null 2>&1 || true
  fi
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; fi
  return 0
}
xvfb_pid=
trap cleanup EXIT

now() { date +%s.%N; }
elapsed() { python3 -c "import sys; print('%.2f' % (float(sys.argv[2]) - float(sys.argv[1])))" "$1" "$2"; }

# The tree: a third each of text, binaries (an executable's bytes with
# noise) and already-compressed data, in files from 4 KiB to 1 MiB (about
# 100 KiB on average, so about 10,000 files a GiB), all from one seeded
# generator, so that every run packs the same bytes.
pkg=$work/pkg
mkdir -p "$pkg/content"
printf '[Package]\r\nName=Bench\r\n[Runtime]\r\nExtractPath=C:\\zelbench\\stub\r\n[LogFiles]\r\nExtractLogFileName=Bench.log\r\n' \
  >"$pkg/Properties_Tavo.ini"
python3 - "$pkg/content" "$mib" "$seed" <<'PY'
import os, random, sys, zlib
root, mib, seed = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rng = random.Random(seed)
words = ["w%d" % i for i in range(5000)]
binary = open("/bin/bash", "rb").read()
total, n = 0, 0
while total < mib << 20:
    kind = n % 3
    size = rng.choices([4096, 32768, 262144, 1 << 20], weights=[50, 30, 15, 5])[0]
    if kind == 0:
        data = (" ".join(rng.choice(words) for _ in range(size // 5)) + "\n").encode()[:size]
    elif kind == 1:
        start = rng.randrange(len(binary) - 1)
        data = bytearray((binary[start:] + binary * (size // len(binary) + 1))[:size])
        for _ in range(size // 512):
            data[rng.randrange(size)] = rng.randrange(256)
        data = bytes(data)
    else:
        data = zlib.compress(rng.randbytes(size // 2) + bytes(size // 2), 9)[:size]
    d = os.path.join(root, "dir%02d" % (n % 17))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "file%05d.%s" % (n, ["txt", "dll", "zip"][kind])), "wb") as f:
        f.write(data)
    total += len(data)
    n += 1
print("tree: %d files, %d bytes (seed %d)" % (n, total, seed))
PY
tree_bytes=$(du -sb "$pkg/content" | cut -f1)

echo "== packing ($threads threads for zelpack; gcab has one)"
mapfile -t files < <(cd "$pkg/content" && find . -type f -printf '%P\n' | LC_ALL=C sort)
sync
t0=$(now)
(cd "$pkg/content" && gcab -c -z "$work/gcab.cab" "${files[@]}")
t1=$(now)
"$zelpack" build "$pkg" -o "$work/Setup.exe" --stub "$stub" -q --threads "$threads"
t2=$(now)
gcab_s=$(elapsed "$t0" "$t1")
zel_s=$(elapsed "$t1" "$t2")
gcab_b=$(stat -c %s "$work/gcab.cab")
# The package cabinet alone (the last record), so that the stub is not counted.
zel_b=$("$zelpack" inspect "$work/Setup.exe" | sed -n 's/^  WebCab1  kind 100 (package)  size \([0-9]*\) .*/\1/p')
exe_b=$(stat -c %s "$work/Setup.exe")
python3 - "$tree_bytes" "$gcab_s" "$gcab_b" "$zel_s" "$zel_b" "$exe_b" <<'PY'
import sys
tree, gs, gb, zs, zb, eb = map(float, sys.argv[1:])
print("  %-22s %8.2f s  %12d bytes  (%.1f%% of the tree, %.0f MiB/s)" % ("gcab -c -z", gs, gb, 100 * gb / tree, tree / gs / 2**20))
print("  %-22s %8.2f s  %12d bytes  (%.1f%% of the tree, %.0f MiB/s; package %d bytes)" %
      ("zelpack (cabinet)", zs, zb, 100 * zb / tree, tree / zs / 2**20, eb))
print("  zelpack / gcab: time %.2f, size %.3f   (goal: both at most 1)" % (zs / gs, zb / gb))
PY

[ "$extract" = 1 ] || exit 0

echo "== extracting the same cabinet"
# zelpack's cabinet with the standard signature, for the other tools.
tail -c "$zel_b" "$work/Setup.exe" >"$work/std.cab"
printf 'MSCF' | dd of="$work/std.cab" bs=1 count=4 conv=notrunc status=none
command -v cabextract >/dev/null && {
  t0=$(now)
  cabextract -q -d "$work/cabextract" "$work/std.cab"
  t1=$(now)
  echo "  cabextract (native)       $(elapsed "$t0" "$t1") s"
}

wine_run=$repo/tools/wine-run
# Wine's background processes must not hold this script's output open.
"$wine_run" --prefix "$prefix" --init </dev/null >/dev/null 2>&1
prefix=$(realpath "$prefix")
stage=$prefix/drive_c/zelbench
# A server kept up between the runs, so that each timing starts Wine warm.
WINEPREFIX=$prefix wineserver -p 60 </dev/null >/dev/null 2>&1
rm -rf "$stage" "$prefix/drive_c/ProgramData/Ulverin/Automation/Logfiles"
mkdir -p "$stage"
cp "$work/Setup.exe" "$work/std.cab" "$stage/"
"$wine_run" --prefix "$prefix" cmd /c exit 0 </dev/null >/dev/null 2>&1 || true # warm-up

# A display of its own, so that the peak memory measured below is the
# program's and not a private X server's.
Xvfb -displayfd 3 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

time_wine() {  # label, then the program and its arguments
  local label=$1 code=0
  shift
  local t0 t1
  t0=$(now)
  # wine-run ends in exec, so the measured process is the program itself.
  /usr/bin/time -f %M -o "$work/peak" "$wine_run" --prefix "$prefix" "$@" </dev/null >/dev/null 2>&1 || code=$?
  t1=$(now)
  printf '  %-25s %s s (exit code %d, peak memory %s MiB)\n' "$label" "$(elapsed "$t0" "$t1")" "$code" \
    "$(( $(tail -n 1 "$work/peak") / 1024 ))"
}
time_wine "Setup.exe -silent (stub)" "$stage/Setup.exe" -silent
time_wine "extrac32.exe (Wine)" extrac32 /Y /E /L 'C:\zelbench\extrac32' 'C:\zelbench\std.cab'

# Each must have given the whole tree.
for got in stub extrac32; do
  n=$( (find "$stage/$got" -type f 2>/dev/null || true) | wc -l)
  echo "  $got: $n of ${#files[@]} files"
done
