#!/usr/bin/env bash
# scripts/windows deps picks, per source package, the newest version the mirror serves (an older one when the
# newest cannot be fetched), builds it once, and builds again only for a new version. Fake apt and cmake commands on
# PATH stand in for the mirror and the compilers: nothing is fetched or compiled.
set -uo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
work=$(mktemp -d "${TMPDIR:-/tmp}/windows-deps.XXXXXX")
trap 'rm -rf "$work"' EXIT
mkdir -p "$work/bin" "$work/known" "$work/served"

# apt-cache showsrc: the versions in known/PACKAGE, in the order written (apt's order is not the newest first).
cat >"$work/bin/apt-cache" <<FAKE
#!/bin/bash
pkg=\${@: -1}
[ -f "$work/known/\$pkg" ] || exit 0
while read -r v; do printf 'Package: %s\nVersion: %s\n\n' "\$pkg" "\$v"; done <"$work/known/\$pkg"
FAKE
# apt-get source PACKAGE=VERSION: unpacks a tree when served/PACKAGE lists the version.
cat >"$work/bin/apt-get" <<FAKE
#!/bin/bash
wanted=\${@: -1}; pkg=\${wanted%%=*}; version=\${wanted#*=}
grep -qxF "\$version" "$work/served/\$pkg" 2>/dev/null || { echo "E: 404 Not Found"; exit 100; }
mkdir -p "\$pkg-\$version/Foundation"
printf 'option(ENABLE_FOUNDATION "" ON)\noption(ENABLE_XML "" ON)\n' >"\$pkg-\$version/CMakeLists.txt"
echo "\$wanted" >>"$work/fetched"
FAKE
# cmake: records the source folder of each configure.
cat >"$work/bin/cmake" <<FAKE
#!/bin/bash
for ((i = 1; i <= \$#; i++)); do [ "\${!i}" = -S ] && { j=\$((i + 1)); basename "\${!j}" >>"$work/configured"; }; done
exit 0
FAKE
for tool in x86_64-w64-mingw32-g++-posix x86_64-w64-mingw32-objdump x86_64-w64-mingw32-windmc dpkg-source ninja; do
  printf '#!/bin/sh\nexit 0\n' >"$work/bin/$tool"
done
chmod +x "$work/bin"/*

for pkg in libpng1.6 freetype tinyxml2 rtmidi poco; do
  echo 1.0-1 >"$work/known/$pkg"
  echo 1.0-1 >"$work/served/$pkg"
done
# freetype: a release candidate, which Debian orders before the release.
printf '1.0~rc1-1\n' >>"$work/known/freetype"
printf '1.0~rc1-1\n' >>"$work/served/freetype"
# libpng: a security update the mirror does not serve, listed before the version it does.
printf '1.6.39-2\n1.6.39-2+deb12u6\n1.6.39-2+deb12u5\n' >"$work/known/libpng1.6"
printf '1.6.39-2+deb12u5\n1.6.39-2\n' >"$work/served/libpng1.6"

deps() { VELK_WIN_BUILD_DIR="$work/build-win" PATH="$work/bin:$PATH" bash "$root/scripts/windows" deps -j1 2>&1; }
failed=0
stamp() { cut -d' ' -f1 "$work/build-win/deps/prefix/stamps/$1" 2>/dev/null; }

out=$(deps) || { echo "first run failed:"; echo "$out"; failed=1; }
[ "$(stamp libpng1.6)" = 1.6.39-2+deb12u5 ] || { echo "libpng stamp: '$(stamp libpng1.6)'"; echo "$out"; failed=1; }
[ "$(stamp poco)" = 1.0-1 ] || { echo "poco stamp: '$(stamp poco)'"; failed=1; }
grep -q "does not serve libpng1.6 1.6.39-2+deb12u6" <<<"$out" || { echo "no word of the missing version"; failed=1; }
[ "$(sort "$work/configured" | xargs)" = "freetype-1.0-1 libpng1.6-1.6.39-2+deb12u5 poco-1.0-1 rtmidi-1.0-1 tinyxml2-1.0-1" ] ||
  { echo "configured: $(xargs <"$work/configured")"; failed=1; }

# Again: every stamp holds, nothing is fetched or built.
rm -f "$work/configured" "$work/fetched"
out=$(deps) || { echo "second run failed:"; echo "$out"; failed=1; }
[ ! -e "$work/configured" ] || { echo "built again: $(xargs <"$work/configured")"; failed=1; }
[ ! -e "$work/fetched" ] || { echo "fetched again: $(xargs <"$work/fetched")"; failed=1; }

# A new version of one package is fetched and built; the others stay.
echo 1.1-1 >>"$work/known/tinyxml2"
echo 1.1-1 >>"$work/served/tinyxml2"
out=$(deps) || { echo "third run failed:"; echo "$out"; failed=1; }
[ "$(xargs <"$work/configured")" = "tinyxml2-1.1-1" ] || { echo "configured: $(xargs <"$work/configured")"; failed=1; }
[ "$(stamp tinyxml2)" = 1.1-1 ] || { echo "tinyxml2 stamp: '$(stamp tinyxml2)'"; failed=1; }

# The newest version cannot be fetched: the built one stays.
echo 2.0-1 >>"$work/known/rtmidi"
rm -f "$work/configured"
out=$(deps) || { echo "fourth run failed:"; echo "$out"; failed=1; }
[ ! -e "$work/configured" ] || { echo "built again: $(xargs <"$work/configured")"; failed=1; }
[ "$(stamp rtmidi)" = 1.0-1 ] || { echo "rtmidi stamp: '$(stamp rtmidi)'"; failed=1; }

# Nothing built and no version fetchable: a clear failure.
: >"$work/served/rtmidi"
rm -rf "$work/build-win/deps/prefix/stamps/rtmidi" "$work/build-win/deps/src/rtmidi"
out=$(deps)
status=$?
if [ $status -eq 0 ] || ! grep -q "no version of the source package rtmidi could be fetched" <<<"$out"; then
  echo "unfetchable rtmidi: exit $status, $out"; failed=1
fi
[ $failed -eq 0 ] && echo "windows deps: as expected"
exit $failed
