#!/usr/bin/env bash
# scripts/setup builds its install commands for root (no sudo) and for other users (sudo -E), and
# with VELK_SETUP_DRY_RUN=1 only prints them. Fake id, dpkg-query, sudo and apt-get on PATH stand in
# for the system: every package reads as missing, and nothing may really run.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/setup-test.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir "$work/bin"
cat >"$work/bin/id" <<'FAKE'
#!/bin/sh
[ "$1" = -u ] && echo "$FAKE_UID" && exit 0
exit 1
FAKE
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg-query"
for tool in sudo apt-get; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/ran"\n' "$tool" "$work" >"$work/bin/$tool"
done
chmod +x "$work/bin"/*

failed=0
check() { # UID EXPECTED-PREFIX
  local out
  out=$(FAKE_UID=$1 VELK_SETUP_DRY_RUN=1 PATH="$work/bin:$PATH" bash "$root/scripts/setup" 2>&1)
  local status=$?
  if [ $status -ne 0 ]; then
    echo "uid $1: setup failed ($status):"; echo "$out"; failed=1; return
  fi
  if ! grep -qx "$2apt-get update -qq *" <<<"$out"; then
    echo "uid $1: no update command \"${2}apt-get update -qq\" in:"; echo "$out"; failed=1
  fi
  local install
  install=$(grep "apt-get install" <<<"$out")
  if [[ "$install" != "${2}apt-get install -y --no-install-recommends "* ]]; then
    echo "uid $1: install command wrong: \"$install\""; failed=1
  fi
  # Every package once, the JACK trio included.
  for p in cmake librtmidi-dev jackd2 libjack-jackd2-dev xvfb; do
    if [ "$(tr ' ' '\n' <<<"$install" | grep -cx "$p")" -ne 1 ]; then
      echo "uid $1: package $p not named exactly once in \"$install\""; failed=1
    fi
  done
}
check 0 ""
check 1000 "sudo -E "
if [ -e "$work/ran" ]; then
  echo "the dry run ran commands:"; cat "$work/ran"; failed=1
fi
[ $failed -eq 0 ] && echo "setup commands: as expected"
exit $failed
