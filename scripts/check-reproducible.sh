#!/usr/bin/env bash
# Builds the Debian package a second time in another folder and compares it byte for byte with the one
# in the folder $1 (built by scripts/build-deb.sh with the same options, given after it). The second
# build may take its objects from ccache, which keys them on the sources and options rather than the
# folder; the linking and the packaging, where folders and clocks leak in, always run again.
set -euo pipefail
cd "$(dirname "$0")/.."
first=${1:-build-deb}
shift || true
second=$first-again
rm -rf "$second"
a=$(realpath "$first"/nrbx_*.deb)
b=$(bash scripts/build-deb.sh "$second" "$@")
if ! cmp -s "$a" "$b"; then
  echo "check-reproducible: $a and $b differ" >&2
  diff <(dpkg-deb -c "$a") <(dpkg-deb -c "$b") >&2 || true
  diff <(dpkg-deb -I "$a" md5sums) <(dpkg-deb -I "$b" md5sums) >&2 || true
  exit 1
fi
rm -rf "$second"
echo "check-reproducible: two builds in two folders gave the same $(basename "$a") ($(sha256sum <"$a" | cut -c1-16)...)"
