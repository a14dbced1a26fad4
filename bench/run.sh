#!/usr/bin/env bash
# Packing and extraction speed, side by side with other cabinet tools, on one
# generated tree. Not a test: see bench/README.md.
#
#   bench/run.sh [MIB] [--no-extract]      (default 200 MiB)
#
# Environment: ZELPACK, STUB (default out/ from `make build`; the x64 stub on a
# machine that cannot run 32-bit programs), STUB_BEFORE (another build of the
# stub, timed in the same interleaved runs, for before/after figures),
# BENCH_SHAPE (many: files of 4 KiB to 1 MiB, the default; large: files of
# 8 to 64 MiB), BENCH_PREFIX (the Wine prefix for the extraction part,
# default build/bench/wineprefix), BENCH_SEED (default 1), BENCH_THREADS
# (default: every core), BENCH_RUNS (timed runs of each extraction, default 3).
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
stub_before=${STUB_BEFORE:-}
shape=${BENCH_SHAPE:-many}
# Where 32-bit programs cannot run (tools/wine), the x86_64 stub stands in, and
# the peers run as 64-bit programs too.
if [ -z "${STUB:-}" ] && ! "$repo/tools/wine" --can-run-32bit; then
  echo "bench: this machine cannot run 32-bit programs; timing the x86_64 stub" >&2
  stub=$repo/out/x64/ZelSelfExtractorUI.exe
fi
prefix=${BENCH_PREFIX:-$repo/build/bench/wineprefix}
seed=${BENCH_SEED:-1}
threads=${BENCH_THREADS:-$(nproc)}
runs=${BENCH_RUNS:-3}
for tool in "$zelpack" "$stub" $stub_before; do
  [ -f "$tool" ] || { echo "bench: $tool is missing; run make build first" >&2; exit 1; }
done
command -v gcab >/dev/null || { echo "bench: gcab is missing (apt-get install gcab)" >&2; exit 1; }

# Nothing extracted is deleted before the end (see time_run): the tree, two
# packages and three extracted trees a run, with some room to spare.
need_mib=$(( mib * (3 * runs + 4) ))
[ "$extract" = 1 ] || need_mib=$(( mib * 3 ))
for where in "${TMPDIR:-/tmp}" "$(dirname "$prefix")"; do
  mkdir -p "$where"
  free_mib=$(( $(df -Pk "$where" | awk 'NR == 2 {print $4}') / 1024 ))
  if [ "$free_mib" -lt "$need_mib" ]; then
    echo "bench: $where has $free_mib MiB free; this run needs about $need_mib MiB (fewer BENCH_RUNS or a smaller tree need less)" >&2
    exit 1
  fi
done

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
python3 - "$pkg/content" "$mib" "$seed" "$shape" <<'PY'
import os, random, sys, zlib
root, mib, seed, shape = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4]
sizes = [4096, 32768, 262144, 1 << 20] if shape == "many" else [8 << 20, 16 << 20, 32 << 20, 64 << 20]
rng = random.Random(seed)
words = ["w%d" % i for i in range(5000)]
binary = open("/bin/bash", "rb").read()
total, n = 0, 0
while total < mib << 20:
    kind = n % 3
    size = rng.choices(sizes, weights=[50, 30, 15, 5])[0]
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
print("tree: %d files, %d bytes (seed %d, shape %s)" % (n, total, seed, shape))
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
if [ -n "$stub_before" ]; then
  mkdir -p "$work/before"
  "$zelpack" build "$pkg" -o "$work/before/Setup.exe" --stub "$stub_before" -q --threads "$threads"
fi
python3 - "$tree_bytes" "$gcab_s" "$gcab_b" "$zel_s" "$zel_b" "$exe_b" "$threads" <<'PY'
import sys
tree, gs, gb, zs, zb, eb, threads = map(float, sys.argv[1:])
print("| %-26s | %8s | %8s | %13s | %12s |" % ("packer", "s", "MiB/s", "cabinet bytes", "of the tree"))
print("|%s|%s|%s|%s|%s|" % ("-" * 28, "-" * 10, "-" * 10, "-" * 15, "-" * 14))
print("| %-26s | %8.2f | %8.0f | %13d | %11.1f%% |" % ("gcab -c -z (one thread)", gs, tree / gs / 2**20, gb, 100 * gb / tree))
print("| %-26s | %8.2f | %8.0f | %13d | %11.1f%% |" % ("zelpack, %d threads" % threads, zs, tree / zs / 2**20, zb, 100 * zb / tree))
print("\nzelpack / gcab: time %.2f, size %.3f   (goal: both at most 1; the package is %d bytes)\n" % (zs / gs, zb / gb, eb))
PY

[ "$extract" = 1 ] || exit 0

echo "== extracting the same cabinet ($runs runs each, interleaved; the median counts)"
# zelpack's cabinet with the standard signature, for the other tools.
tail -c "$zel_b" "$work/Setup.exe" >"$work/std.cab"
printf 'MSCF' | dd of="$work/std.cab" bs=1 count=4 conv=notrunc status=none

wine_run=$repo/tools/wine-run
# Wine's background processes must not hold this script's output open.
"$wine_run" --prefix "$prefix" --init </dev/null >/dev/null 2>&1
prefix=$(realpath "$prefix")
stage=$prefix/drive_c/zelbench
logs=$prefix/drive_c/ProgramData/Ulverin/Automation/Logfiles
# A server kept up between the runs, so that each timing starts Wine warm.
WINEPREFIX=$prefix wineserver -p 600 </dev/null >/dev/null 2>&1
rm -rf "$stage" "$logs"
mkdir -p "$stage"
cp "$work/Setup.exe" "$work/std.cab" "$stage/"
if [ -n "$stub_before" ]; then mkdir -p "$stage/before" && cp "$work/before/Setup.exe" "$stage/before/"; fi
"$wine_run" --prefix "$prefix" cmd /c exit 0 </dev/null >/dev/null 2>&1 || true # warm-up

# A display of its own, so that the peak memory measured below is the
# program's and not a private X server's.
Xvfb -displayfd 3 -nolisten tcp 3>"$work/display" >/dev/null 2>&1 &
xvfb_pid=$!
for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
export DISPLAY=":$(cat "$work/display")"

# One timed run: tool name, output folder (Linux path), then the command.
# Appends "tool seconds exit-code peak-KiB files" to $work/runs. Nothing is
# deleted between runs: ext4 is slow to hand out inodes of files deleted in
# the last half minute, which would charge one tool for another's clean-up.
time_run() {
  local tool=$1 out=$2 code=0 t0 t1
  shift 2
  sync
  t0=$(now)
  # wine-run ends in exec, so the measured process is the program itself.
  /usr/bin/time -f %M -o "$work/peak" "$@" </dev/null >/dev/null 2>&1 || code=$?
  t1=$(now)
  local n secs
  n=$( (find "$out" -type f 2>/dev/null || true) | wc -l)
  secs=$(elapsed "$t0" "$t1")
  echo "$tool $secs $code $(tail -n 1 "$work/peak") $n" >>"$work/runs"
  printf '  %-12s run %d  %7s s  exit code %d\n' "$tool" "$r" "$secs" "$code"
}
: >"$work/runs"
for r in $(seq "$runs"); do
  time_run stub "$stage/stub$r" "$wine_run" --prefix "$prefix" "$stage/Setup.exe" -silent "-extractpath=C:\\zelbench\\stub$r"
  if [ -n "$stub_before" ]; then
    time_run before "$stage/before$r" "$wine_run" --prefix "$prefix" "$stage/before/Setup.exe" -silent \
      "-extractpath=C:\\zelbench\\before$r"
  fi
  time_run extrac32 "$stage/extrac32-$r" "$wine_run" --prefix "$prefix" extrac32 /Y /E /L "C:\\zelbench\\extrac32-$r" 'C:\zelbench\std.cab'
  # Wine's expand.exe writes every file of a cabinet to the one name it is
  # given (it is made for one-file cabinets): the whole cabinet is decoded,
  # each file written over the last.
  mkdir -p "$stage/expand-$r"
  time_run expand "$stage/expand-$r" "$wine_run" --prefix "$prefix" expand 'C:\zelbench\std.cab' "C:\\zelbench\\expand-$r\\all.bin"
  if command -v cabextract >/dev/null; then
    time_run cabextract "$work/cabextract-$r" cabextract -q -d "$work/cabextract-$r" "$work/std.cab"
  fi
done

echo
python3 - "$work/runs" "$tree_bytes" "${#files[@]}" <<'PY2'
import statistics, sys
runs, tree, files = sys.argv[1], int(sys.argv[2]), int(sys.argv[3])
rows = {}
for line in open(runs):
    tool, secs, code, peak, n = line.split()
    rows.setdefault(tool, []).append((float(secs), int(code), int(peak), int(n)))
names = {"stub": "Setup.exe -silent (whole run)", "before": "the same, STUB_BEFORE", "extrac32": "extrac32.exe (Wine)",
         "expand": "expand.exe (Wine, decode only)", "cabextract": "cabextract (native)"}
base = statistics.median(t for t, _, _, _ in rows["extrac32"])
print("| %-30s | %8s | %8s | %17s | %10s | %11s | %s |" % ("tool", "median s", "MiB/s", "runs (s)", "/ extrac32", "peak memory", "files, exit codes"))
print("|%s|%s|%s|%s|%s|%s|%s|" % ("-" * 32, "-" * 10, "-" * 10, "-" * 19, "-" * 12, "-" * 13, "-" * 19))
for tool in ["stub", "before", "extrac32", "expand", "cabextract"]:
    if tool not in rows:
        continue
    r = rows[tool]
    med = statistics.median(t for t, _, _, _ in r)
    peak = max(p for _, _, p, _ in r) / 1024
    counted = "1 (by design)" if tool == "expand" else "%d of %d" % (min(n for _, _, _, n in r), files)
    codes = ",".join(str(c) for _, c, _, _ in r)
    print("| %-30s | %8.2f | %8.0f | %17s | %10.2f | %7.0f MiB | %s, %s |" % (
        names[tool], med, tree / med / 2**20, " ".join("%.2f" % t for t, _, _, _ in r), med / base, peak, counted, codes))
stub = statistics.median(t for t, _, _, _ in rows["stub"])
print("\nstub / extrac32: %.2f   (goal: at most 1.3 with many small files, 1.15 with few large ones)" % (stub / base))
if "before" in rows:
    before = statistics.median(t for t, _, _, _ in rows["before"])
    print("before / extrac32: %.2f" % (before / base))
PY2

# How soon the wizard shows on this package (a run without switches); the
# run is ended at once. The goal is within a second.
cc=i686-w64-mingw32-gcc
"$repo/tools/wine" --can-run-32bit || cc=x86_64-w64-mingw32-gcc
if command -v "$cc" >/dev/null && "$cc" -O2 -municode -o "$stage/first_window.exe" "$repo/bench/first_window.c" 2>/dev/null; then
  for r in $(seq "$runs"); do
    "$wine_run" --prefix "$prefix" "$stage/first_window.exe" 'C:\zelbench\Setup.exe' </dev/null 2>/dev/null || true
    # The ended run leaves its working folder at a drive root.
    find "$prefix/drive_c" -maxdepth 1 -name '{*}' -exec rm -rf {} + 2>/dev/null || true
  done
fi
