#!/usr/bin/env bash
# scripts/windows-compare-shots: the same picture stored with every PNG row filter reads as equal; a few far
# pixels pass, many fail; other sizes fail; a file that is no PNG is an error of its own.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/compare-shots.XXXXXX")
trap 'rm -rf "$work"' EXIT
compare="$root/scripts/windows-compare-shots"

# make NAME WIDTH HEIGHT FILTERS CHANGED-SHARE: a noisy RGBA picture, rows filtered with the listed filter
# types in turn, and the given share of its pixels turned far from the original.
make() {
  python3 - "$work/$1" "$2" "$3" "$4" "$5" <<'PY'
import random, struct, sys, zlib
path, width, height, filters, share = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), sys.argv[4], float(sys.argv[5])
rng = random.Random(7)
rows = [bytearray(rng.randrange(256) if (i % 4) != 3 else 255 for i in range(width * 4)) for _ in range(height)]
changed = random.Random(11)
for y in range(height):
    for x in range(width):
        if changed.random() < share:
            for c in range(3):
                rows[y][x * 4 + c] = (rows[y][x * 4 + c] + 128) % 256
def paeth(a, b, c):
    p = a + b - c; pa, pb, pc = abs(p - a), abs(p - b), abs(p - c)
    return a if pa <= pb and pa <= pc else b if pb <= pc else c
raw, prev = bytearray(), bytearray(width * 4)
for y, row in enumerate(rows):
    kind = int(filters[y % len(filters)])
    out = bytearray()
    for i, v in enumerate(row):
        a = row[i - 4] if i >= 4 else 0; b = prev[i]; c = prev[i - 4] if i >= 4 else 0
        pred = [0, a, b, (a + b) // 2, paeth(a, b, c)][kind]
        out.append((v - pred) % 256)
    raw += bytes([kind]) + out
    prev = row
def chunk(kind, body):
    return struct.pack(">I", len(body)) + kind + body + struct.pack(">I", zlib.crc32(kind + body))
with open(path, "wb") as f:
    f.write(b"\x89PNG\r\n\x1a\n" + chunk(b"IHDR", struct.pack(">IIBBBBB", width, height, 8, 6, 0, 0, 0))
            + chunk(b"IDAT", zlib.compress(bytes(raw))) + chunk(b"IEND", b""))
PY
}

failed=0
expect() { # CODE TEXT ARGS...: exit code and a piece of the output
  local code=$1 text=$2; shift 2
  local out
  out=$("$compare" "$@" 2>&1)
  local got=$?
  if [ $got -ne "$code" ] || ! grep -qF "$text" <<<"$out"; then
    echo "compare $*: exit $got (expected $code), output: $out (expected to hold \"$text\")"; failed=1
  fi
}
make plain.png 64 48 0 0
make filtered.png 64 48 01234 0
make few.png 64 48 0 0.01
make many.png 64 48 0 0.10
make small.png 63 48 0 0
echo "not a picture" >"$work/text.png"

expect 0 ": 0 pixels differ" "$work/plain.png" "$work/filtered.png"
expect 0 "the same page" "$work/plain.png" "$work/few.png"
expect 1 "NOT the same page" "$work/plain.png" "$work/many.png"
expect 1 "differ in size" "$work/plain.png" "$work/small.png"
expect 2 "not a PNG" "$work/plain.png" "$work/text.png"
[ $failed -eq 0 ] && echo "compare shots: as expected"
exit $failed
