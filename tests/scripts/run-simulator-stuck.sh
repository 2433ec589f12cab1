#!/usr/bin/env bash
# scripts/run against a simulated synthesizer that answers but does not end when told to (as a child whose
# MIDI server stalls would not): the script still ends, with status 0, within its bound, says in its log
# that it stopped the simulator, and leaves neither a temporary folder nor a process behind.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
bin=${VELK_BINARY_DIR:-$root/build}
for program in velk_editor.so velk-simsynth tools/vsthost/vsthost; do
  [ -x "$bin/$program" ] || [ -f "$bin/$program" ] || { echo "skipped: $bin/$program is not built"; exit 77; }
done
for tool in jackd jack_wait Xvfb; do
  command -v "$tool" >/dev/null || { echo "skipped: $tool is not installed"; exit 77; }
done
work=$(mktemp -d "${TMPDIR:-/tmp}/run-simulator-stuck.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/tmp" "$work/data" "$work/build/tools/vsthost"
ln -s "$bin/velk_editor.so" "$work/build/velk_editor.so"
ln -s "$bin/tools/vsthost/vsthost" "$work/build/tools/vsthost/vsthost"
# The stand-in passes every line to the real simulator but QUIT, on which it only sleeps; once it is
# stopped, the real one reads the end of its input and ends.
cat >"$work/build/velk-simsynth" <<STUCK
#!/usr/bin/env bash
mkfifo "\$TMPDIR/stuck-in"
"$bin/velk-simsynth" "\$@" <"\$TMPDIR/stuck-in" &
exec 3>"\$TMPDIR/stuck-in"
rm -f "\$TMPDIR/stuck-in"
while IFS= read -r line; do
  if [ "\$line" = QUIT ]; then echo \$\$ >"$work/stuck-pid"; exec sleep 300; fi
  echo "\$line" >&3
done
STUCK
chmod +x "$work/build/velk-simsynth"

started=$SECONDS
out=$(env -u DISPLAY TMPDIR="$work/tmp" VELK_DATA_DIR="$work/data" VELK_RUN_BUILT=1 \
      VELK_RUN_BUILD_DIR="$work/build" timeout 50 bash "$root/scripts/run" --device-id 6 2>&1)
status=$?
took=$((SECONDS - started))

failed=0
fail() { echo "$1"; failed=1; }
[ $status -eq 0 ] || fail "scripts/run: status $status, not 0"
grep -q "^found the synthesizer at id 6 on " <<<"$out" || fail "no line saying the synthesizer was found at id 6"
# About as long as run-simulated.sh allows, and the ten seconds the simulator is given to end.
[ $took -le 45 ] || fail "it took $took s (more than 45 s without a build)"
[ -s "$work/stuck-pid" ] || fail "the stand-in never received QUIT"
grep -q "^run: the simulated synthesizer did not end within 10 s; stopped$" "$work/build/run.log" ||
  fail "the log does not say the simulator was stopped"
[ -z "$(ls -A "$work/tmp")" ] || fail "left behind: $(ls -A "$work/tmp")"
if [ -s "$work/stuck-pid" ] && kill -0 "$(cat "$work/stuck-pid")" 2>/dev/null; then
  fail "the stand-in still runs"
  kill -9 "$(cat "$work/stuck-pid")"
fi
# The real simulator ends at the end of its input (under a sanitizer, its exit takes a moment).
real="--client velk-run-sim-[0-9]* --device-id 6 "
for _ in $(seq 1 100); do
  pgrep -f -- "$real" >/dev/null || break
  sleep 0.1
done
pgrep -f -- "$real" >/dev/null && fail "the real simulator still runs 10 s after the stand-in was stopped"
[ $failed -eq 0 ] && echo "a simulator that does not end: stopped (${took} s)"
if [ $failed -ne 0 ]; then
  echo "its output:"
  echo "$out"
  echo "its log:"
  tail -n 60 "$work/build/run.log" 2>/dev/null
fi
exit $failed
