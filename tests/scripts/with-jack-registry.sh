#!/usr/bin/env bash
# A JACK server that dies before scripts/with-jack stops it (jackd dies of SIGPIPE while stopping after a client
# crashed) leaves no entry in JACK's registry of servers, which has room for eight on the whole machine: a full
# registry made every later JACK test fail. Skips without jackd or when the registry has no room already.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
command -v jackd >/dev/null || exit 77
work=$(mktemp -d "${TMPDIR:-/tmp}/with-jack-test.XXXXXX")
trap 'rm -rf "$work"' EXIT

# The command notes the server's name and kills that server (found by its whole command line).
out=$(bash "$root/scripts/with-jack" bash -c '
  echo "$JACK_DEFAULT_SERVER" >"$1"
  kill -KILL "$(pgrep -x -f "jackd -S --no-realtime -n $JACK_DEFAULT_SERVER -d dummy -r 48000 -p 256")"' \
  _ "$work/name" 2>&1)
status=$?
if grep -q "Too many servers" <<<"$out"; then
  echo "no room for a JACK server on this machine"
  exit 77
fi
name=$(cat "$work/name" 2>/dev/null)
if [ $status -ne 0 ] || [ -z "$name" ]; then
  echo "with-jack failed (status $status):"; echo "$out"
  exit 1
fi
if grep -qaF ":$name:" /dev/shm/jack-shm-registry 2>/dev/null; then
  echo "the killed server \"$name\" still holds an entry in JACK's registry of servers"
  exit 1
fi
echo "with-jack registry: as expected"
