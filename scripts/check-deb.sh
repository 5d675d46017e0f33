#!/usr/bin/env bash
# The Debian package end to end, as CI runs it (as root): built from a clean copy (source and binary,
# scripts/build-deb.sh), built a second time and compared byte for byte, held to
# lintian --pedantic (source and binary: any E, W or I tag that debian/ does not override fails) and to
# Debian's hardening (blhc on the build log, hardening-check on the programs), its tests (debian/tests)
# run by autopkgtest on this machine, then installed with apt-get and purged, leaving no file behind
# (scripts/check-install-purge.sh). Whatever is installed for a test is purged again.
# Usage: scripts/check-deb.sh [work folder, default build-deb]
set -euo pipefail
cd "$(dirname "$0")/.."
work=${1:-build-deb}
apt=(apt-get -o DPkg::Lock::Timeout=600 -y -qq)

if dpkg-query -W -f='${Status}' nrbx 2>/dev/null | grep -q 'ok installed'; then
  echo "check-deb: nrbx is installed on this machine already; not replacing and purging it" >&2
  exit 1
fi

# Both builds run in one folder, so the second takes its objects from ccache when CI uses it. The
# folder's name leaves no trace anyway (Debian's flags map it away): a build in another folder without
# ccache gives the same bytes too.
echo "== dpkg-buildpackage -us -uc (source and binary)"
rm -rf "$work"
bash scripts/build-deb.sh "$work/build"
mv "$work/build" "$work/first"
deb=$(realpath "$work"/first/nrbx_*.deb)
dpkg-deb --field "$deb" Package Version Architecture Depends Recommends

echo "== dpkg-buildpackage -us -uc -b, again"
bash scripts/build-deb.sh "$work/build" -b
mv "$work/build" "$work/second"
for first in "$work"/first/*.deb; do
  second=$work/second/$(basename "$first")
  if ! cmp -s "$first" "$second"; then
    echo "check-deb: two builds of $(basename "$first") differ" >&2
    diff <(dpkg-deb -c "$first") <(dpkg-deb -c "$second") >&2 || true
    diff <(dpkg-deb -I "$first" md5sums) <(dpkg-deb -I "$second" md5sums) >&2 || true
    exit 1
  fi
  echo "same bytes: $(basename "$first") $(sha256sum <"$first" | cut -c1-16)..."
done

echo "== lintian --pedantic"
lintian --pedantic --display-info --fail-on none "$work"/first/nrbx_*.changes | tee "$work/lintian.txt"
if grep -Eq '^[EWI]: ' "$work/lintian.txt"; then
  echo "check-deb: lintian reports tags that debian/ does not override" >&2
  exit 1
fi

echo "== hardening"
# Every compiler and linker call of the build log with Debian's hardening flags (--debian: GCC builds
# position-independent executables by default).
blhc --all --debian "$work/first/build.log"
mkdir "$work/unpacked"
dpkg-deb -x "$deb" "$work/unpacked"
for program in "$work"/unpacked/usr/bin/*; do
  # Control-flow integrity is a marking no program linked on Debian 12 can carry (its C start-up files
  # lack it; /usr/bin/ls has none either). The thumbnailer is built with fortify like the others, but
  # none of its calls has a size the compiler knows, so none became a checked one (the lintian
  # override says the same).
  skip=(--nocfprotection)
  [ "$(basename "$program")" = nrbx-thumbnailer ] && skip+=(--nofortify)
  hardening-check --quiet "${skip[@]}" "$program" || { echo "check-deb: $program lacks hardening" >&2; exit 1; }
  [ -z "$(readelf -S "$program" | grep -E ' \.(debug_|symtab)')" ] ||
    { echo "check-deb: $program is not stripped" >&2; exit 1; }
done

echo "== autopkgtest (debian/tests) on this machine"
trap '"${apt[@]}" purge nrbx >/dev/null 2>&1 || true' EXIT
autopkgtest "$deb" "$work"/first/nrbx_*.dsc -- null
"${apt[@]}" purge nrbx >/dev/null
trap - EXIT

echo "== install and purge"
bash scripts/check-install-purge.sh "$deb"
echo "check-deb: built twice to the same bytes, lintian clean, hardened, tested, installed and purged"
