#!/usr/bin/env bash
# Packs a generated tree of mixed files with zelpack and with gcab -c -z and
# prints time and size ratios (zelpack / gcab). Not a test.
#   tools/zelpack/bench/pack-bench.sh ZELPACK STUB [MIB]     (default 1024 MiB)
set -euo pipefail
zelpack=$1
stub=$2
mib=${3:-1024}
work=$(mktemp -d "${TMPDIR:-/tmp}/zelpack-bench.XXXXXX")
trap 'rm -rf "$work"' EXIT

pkg=$work/pkg
mkdir -p "$pkg/content"
printf '[Package]\r\nName=Bench\r\n' > "$pkg/Properties_Tavo.ini"
# A third each: text, binaries (an executable's bytes repeated with noise),
# already-compressed data; in files from 4 KiB to 8 MiB.
python3 - "$pkg/content" "$mib" <<'PY'
import os, random, sys, zlib
root, mib = sys.argv[1], int(sys.argv[2])
rng = random.Random(1)
words = [("w%d" % i) for i in range(5000)]
binary = open("/bin/bash", "rb").read()
total, n = 0, 0
while total < mib << 20:
    kind = n % 3
    size = rng.choice([4096, 65536, 1 << 20, 8 << 20])
    if kind == 0:
        data = (" ".join(rng.choice(words) for _ in range(size // 5)) + "\n").encode()[:size]
    elif kind == 1:
        start = rng.randrange(len(binary) - 1)
        data = (binary[start:] + binary)[:size]
    else:
        data = zlib.compress(os.urandom(size // 2) + bytes(size // 2), 9)[:size]
    d = os.path.join(root, "dir%d" % (n % 17))
    os.makedirs(d, exist_ok=True)
    with open(os.path.join(d, "file%05d.%s" % (n, ["txt", "dll", "zip"][kind])), "wb") as f:
        f.write(data)
    total += len(data)
    n += 1
print("tree: %d files, %d bytes" % (n, total))
PY

t0=$(date +%s.%N)
(cd "$pkg/content" && find . -type f | sort | gcab -c -z "$work/gcab.cab" -- $(cat) >/dev/null 2>&1) || \
  (cd "$pkg/content" && gcab -c -z "$work/gcab.cab" $(find . -type f | sort))
t1=$(date +%s.%N)
"$zelpack" build "$pkg" -o "$work/Setup.exe" --stub "$stub" -q --threads "$(nproc)"
t2=$(date +%s.%N)
gsize=$(stat -c %s "$work/gcab.cab")
zsize=$(stat -c %s "$work/Setup.exe")
python3 - "$t0" "$t1" "$t2" "$gsize" "$zsize" <<'PY'
import sys
t0, t1, t2, g, z = map(float, sys.argv[1:])
print("gcab:    %.2f s, %d bytes" % (t1 - t0, g))
print("zelpack: %.2f s, %d bytes (package, stub included)" % (t2 - t1, z))
print("time ratio %.2f, size ratio %.3f" % ((t2 - t1) / (t1 - t0), z / g))
PY
