#!/usr/bin/env bash
# scripts/setup adds a deb-src entry for every Debian binary entry of apt's configuration, in deb822 and in
# one-line files, and none for other archives, disabled entries or entries that have their sources already; once
# the file exists it adds nothing. An apt folder of the test's own stands in for /etc/apt (dry run only).
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/setup-deb-src.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/apt/sources.list.d"
printf '#!/bin/sh\nexit 1\n' >"$work/bin/dpkg-query"
for tool in sudo apt-get tee; do
  printf '#!/bin/sh\necho "%s $*" >>"%s/ran"\n' "$tool" "$work" >"$work/bin/$tool"
done
chmod +x "$work/bin"/*

cat >"$work/apt/sources.list.d/debian.sources" <<'APT'
Types: deb
# a mirror note
URIs: http://deb.debian.org/debian
Suites: bookworm bookworm-updates
Components: main
Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

Types: deb
URIs: https://deb.example.com/node
Suites: nodistro
Components: main

Types: deb
URIs: http://deb.debian.org/debian
Suites: bookworm-backports
Components: main
Enabled: no

Types: deb deb-src
URIs: http://deb.debian.org/debian
Suites: trixie
Components: main
APT
cat >"$work/apt/sources.list" <<'APT'
# deb http://deb.debian.org/debian sid main
deb [signed-by=/usr/share/keyrings/debian-archive-keyring.gpg] http://deb.debian.org/debian-security bookworm-security main contrib
deb http://example.com/repo stable main
APT

failed=0
out=$(VELK_SETUP_APT_DIR="$work/apt" VELK_SETUP_DRY_RUN=1 PATH="$work/bin:$PATH" bash "$root/scripts/setup" 2>&1)
status=$?
[ $status -eq 0 ] || { echo "setup failed ($status):"; echo "$out"; failed=1; }
expected='  Types: deb-src
  # a mirror note
  URIs: http://deb.debian.org/debian
  Suites: bookworm bookworm-updates
  Components: main
  Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg

  Types: deb-src
  URIs: http://deb.debian.org/debian-security
  Suites: bookworm-security
  Components: main contrib
  Signed-By: /usr/share/keyrings/debian-archive-keyring.gpg'
got=$(sed -n '/^setup: adding the source entries/,/^[^ ]/p' <<<"$out" | sed '1d;$d' | sed -e :a -e '/^\n*$/{$d;N;ba' -e '}')
if [ "$got" != "$expected" ]; then
  echo "the deb-src stanzas differ; expected:"; echo "$expected"; echo "got:"; echo "$got"; failed=1
fi
if grep -q "$work/apt/sources.list.d/velk-deb-src.sources" <<<"$out" && [ -e "$work/apt/sources.list.d/velk-deb-src.sources" ]; then
  echo "the dry run wrote the file"; failed=1
fi
if [ -e "$work/ran" ]; then
  echo "the dry run ran commands:"; cat "$work/ran"; failed=1
fi

# With the entry in place, nothing more is added.
touch "$work/apt/sources.list.d/velk-deb-src.sources"
out=$(VELK_SETUP_APT_DIR="$work/apt" VELK_SETUP_DRY_RUN=1 PATH="$work/bin:$PATH" bash "$root/scripts/setup" 2>&1)
if grep -q "adding the source entries" <<<"$out"; then
  echo "setup added source entries again:"; echo "$out"; failed=1
fi
# No Debian entry at all (another distribution): a warning, and the Linux packages all the same.
mkdir -p "$work/other/sources.list.d"
echo "deb http://archive.example.com/other stable main" >"$work/other/sources.list"
out=$(VELK_SETUP_APT_DIR="$work/other" VELK_SETUP_DRY_RUN=1 PATH="$work/bin:$PATH" bash "$root/scripts/setup" 2>&1)
status=$?
if [ $status -ne 0 ] || grep -q "adding the source entries" <<<"$out" || ! grep -q "no Debian binary entry" <<<"$out" ||
  ! grep -q "apt-get install" <<<"$out"; then
  echo "without Debian entries: exit $status, output:"; echo "$out"; failed=1
fi
[ $failed -eq 0 ] && echo "setup deb-src entries: as expected"
exit $failed
