#!/usr/bin/env bash
# scripts/run checks its arguments before it builds or starts anything: each bad form is named, with exit
# status 2, and no build, package, JACK or X tool runs. Port names the plug-in does not list are refused
# with the list it does give. The script runs from a copy in a scratch tree whose build/ holds a fake test
# host, and fake system tools on PATH record any call.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/run-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/tree/scripts" "$work/tree/build/tools/vsthost"
cp "$root/scripts/run" "$work/tree/scripts/run"
for tool in cmake jackd jack_wait Xvfb dpkg-query apt-get sudo; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/ran"\nexit 1\n' "$tool" "$work" >"$work/bin/$tool"
done
# The test host answers only the port list; anything else it is asked is recorded.
cat >"$work/tree/build/tools/vsthost/vsthost" <<FAKE
#!/bin/sh
if [ "\$1" = --midi-ports ]; then
  printf 'input: Synth MIDI Out\noutput: Synth MIDI In\n'
  exit 0
fi
echo "vsthost \$*" >>"$work/ran"
exit 1
FAKE
chmod +x "$work/bin"/* "$work/tree/build/tools/vsthost/vsthost"

failed=0
check() { # EXPECTED-STATUS EXPECTED-TEXT ARGS...
  local want=$1 text=$2 out status
  shift 2
  out=$(PATH="$work/bin:$PATH" bash "$work/tree/scripts/run" "$@" 2>&1)
  status=$?
  if [ $status -ne "$want" ]; then
    echo "run $*: status $status, not $want:"; echo "$out"; failed=1
  fi
  if ! grep -qF -- "$text" <<<"$out"; then
    echo "run $*: no \"$text\" in:"; echo "$out"; failed=1
  fi
  if grep -qiE "parameter null|unbound variable|not set|syntax error|command not found" <<<"$out"; then
    echo "run $*: a shell error reached the user:"; echo "$out"; failed=1
  fi
  if [ -e "$work/ran" ]; then
    echo "run $*: ran something:"; cat "$work/ran"; rm -f "$work/ran"; failed=1
  fi
}

check 2 'unknown option "--bogus"' --bogus
check 2 'unknown option "--device"' --device-id 3 --device 4
check 2 'unexpected argument "extra"' extra
check 2 '--device-id needs a value' --device-id
check 2 '--device-id needs a value' --device-id --seed 2
check 2 '--device-id "16": a device id is a whole number from 0 to 15' --device-id 16
check 2 '--device-id "x3"' --device-id x3
check 2 '--seed needs a value' --seed
check 2 '--seed "-1"' --seed -1
check 2 '--seed "4294967296"' --seed 4294967296
check 2 '--ports needs two values' --ports
check 2 '--ports needs two values' --ports "Synth MIDI Out"
check 2 '--ports needs two values' --ports "Synth MIDI Out" --device-id 3
check 2 'a port name is not empty' --ports "" "Synth MIDI In"
check 2 'does not go with --ports' --ports "Synth MIDI Out" "Synth MIDI In" --seed 2
check 2 '--list-ports takes no other option' --list-ports --device-id 3
check 0 'usage: scripts/run' --help

# Names the plug-in does not list: refused after the build (here: none) with the names it lists,
# before the plug-in, a JACK server, a display or a simulator is started.
export VELK_RUN_BUILT=1
check 2 'the plug-in lists no input "Nope"' --ports Nope "Synth MIDI In"
check 2 '  output: Synth MIDI In' --ports Nope "Synth MIDI In"
check 2 'no input "In" output "Out"' --ports In Out
check 2 'scripts/run --list-ports' --ports "Synth MIDI Out" Out
check 0 'input: Synth MIDI Out' --list-ports

[ $failed -eq 0 ] && echo "run arguments: as expected"
exit $failed
