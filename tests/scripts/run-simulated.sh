#!/usr/bin/env bash
# scripts/run without a display, against the simulated synthesizer at device id 5, on the programs this
# tree built: it exits 0, says in one line that it found the synthesizer at that id, prints the plug-in's
# identity once, leaves no temporary folder, and its picture shows the connected editor (the page tab
# lit at full strength, not dimmed by the "talking to the synthesizer" window).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=${VELK_BINARY_DIR:-$root/build}
for program in velk_editor.so velk-simsynth tools/vsthost/vsthost; do
  [ -x "$bin/$program" ] || [ -f "$bin/$program" ] || { echo "skipped: $bin/$program is not built"; exit 77; }
done
for tool in jackd jack_wait Xvfb python3; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/run-simulated-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/tmp" "$work/data"
rm -f "$bin/editor.png"

started=$SECONDS
out=$(env -u DISPLAY TMPDIR="$work/tmp" VELK_DATA_DIR="$work/data" VELK_RUN_BUILT=1 VELK_RUN_BUILD_DIR="$bin" \
      timeout 50 bash "$root/scripts/run" --device-id 5 2>&1)
status=$?
took=$((SECONDS - started))

failed=0
fail() { echo "$1"; failed=1; }
[ $status -eq 0 ] || fail "scripts/run: status $status, not 0"
grep -q "^found the synthesizer at id 5 on velk-run-sim-[0-9]*-in:in$" <<<"$out" ||
  fail "no line saying the synthesizer was found at id 5"
[ "$(grep -c "^name: " <<<"$out")" -eq 1 ] || fail "the identity is not printed exactly once"
# About 7 s on an idle machine; the bound leaves room for a loaded one and the sanitizer builds.
[ $took -le 30 ] || fail "it took $took s (more than 30 s without a build)"
[ -z "$(ls -A "$work/tmp")" ] || fail "left behind: $(ls -A "$work/tmp")"
grep -qiE "parameter null|unbound variable|Cannot connect to server|ALSA lib" <<<"$out" &&
  fail "shell errors or JACK/ALSA chatter reached the user"

# The picture: the editor's size, and the lit MULTI tab at full strength (under the connecting window's
# veil it is at a fifth of its brightness).
python3 - "$bin/editor.png" <<'PY' || failed=1
import struct, sys, zlib
data = open(sys.argv[1], "rb").read()
width, height, depth, kind = struct.unpack(">IIBB", data[16:26])
if (width, height) != (1500, 757) or depth != 8 or kind not in (2, 6):
    sys.exit(f"editor.png is {width} x {height} (depth {depth}, colour type {kind}), not the 1500 x 757 editor")
idat, at = b"", 8
while at < len(data):
    n, = struct.unpack(">I", data[at:at + 4])
    if data[at + 4:at + 8] == b"IDAT":
        idat += data[at + 8:at + 8 + n]
    at += 12 + n
raw, bpp = zlib.decompress(idat), 4 if kind == 6 else 3
stride, prev, rows, p = width * bpp, bytearray(width * bpp), [], 0
for y in range(height):
    f, line = raw[p], bytearray(raw[p + 1:p + 1 + stride])
    p += 1 + stride
    for x in range(stride):
        a = line[x - bpp] if x >= bpp else 0
        b, c = prev[x], prev[x - bpp] if x >= bpp else 0
        if f == 1: line[x] = (line[x] + a) & 255
        elif f == 2: line[x] = (line[x] + b) & 255
        elif f == 3: line[x] = (line[x] + (a + b) // 2) & 255
        elif f == 4:
            pa, pb, pc = abs(b - c), abs(a - c), abs(a + b - 2 * c)
            line[x] = (line[x] + (a if pa <= pb and pa <= pc else b if pb <= pc else c)) & 255
    rows.append(line)
    prev = line
r, g, b = rows[56][230 * bpp:230 * bpp + 3]
if not (r > 200 and g > 120 and b < 100):
    sys.exit(f"the MULTI tab is ({r}, {g}, {b}): the editor is dimmed or not on its first page")
PY
[ $failed -eq 0 ] && echo "run against the simulator: as expected (${took} s)"
if [ $failed -ne 0 ]; then
  echo "its output:"
  echo "$out"
  # What the test host, the simulator and JACK said, where a stall shows.
  echo "the end of its log $bin/run.log:"
  tail -n 60 "$bin/run.log" 2>/dev/null
fi
exit $failed
