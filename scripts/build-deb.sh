#!/usr/bin/env bash
# Builds the Debian package as Debian builds it (debian/, dpkg-buildpackage -us -uc) from a clean copy
# of this checkout: the files git knows of, as they are now, with no build folder or other leftover.
# Usage: scripts/build-deb.sh FOLDER [dpkg-buildpackage options, e.g. -b]
# The copy goes to FOLDER/nrbx, the packages, .changes and .buildinfo (and with a source build the
# .dsc and the tarball) beside it, the build's output to FOLDER/build.log. FOLDER is emptied first.
# With CMAKE_CXX_COMPILER_LAUNCHER=ccache in the environment CMake compiles through ccache, which
# changes no byte of the package.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
out=${1:?usage: build-deb.sh FOLDER [dpkg-buildpackage options]}
shift
rm -rf "$out"
mkdir -p "$out/nrbx"
out=$(cd "$out" && pwd)
# Tracked files and new ones not yet added, as far as they exist (a deletion not yet committed counts).
(cd "$root" && git ls-files -z --cached --others --exclude-standard |
  while IFS= read -r -d '' f; do [ -e "$f" ] && printf '%s\0' "$f"; done |
  tar --null -T - -cf -) | tar -xf - -C "$out/nrbx"
if [ -n "${CMAKE_CXX_COMPILER_LAUNCHER:-}" ] && command -v ccache >/dev/null; then
  # debhelper gives the build a home of its own, so the cache is named outright. No base folder: ccache
  # would pass the compiler relative source paths, which end up in the debugging data and so in the
  # build IDs of the programs, and the package would differ from one built without ccache. A second
  # build in the same folder takes every object from the cache.
  CCACHE_DIR=${CCACHE_DIR:-$(ccache -k cache_dir)}
  export CCACHE_DIR
  unset CCACHE_BASEDIR
fi
if ! (cd "$out/nrbx" && dpkg-buildpackage -us -uc --jobs-try=auto "$@") >"$out/build.log" 2>&1; then
  tail -n 40 "$out/build.log" >&2
  echo "build-deb: dpkg-buildpackage failed; the whole output is in $out/build.log" >&2
  exit 1
fi
