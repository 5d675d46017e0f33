#!/usr/bin/env bash
# Builds the Debian package as a distribution builds it: Release, Debian's hardening flags
# (dpkg-buildflags), prefix /usr, stripped, without tests or benchmarks, into the folder $1 (default
# build-deb; extra CMake options after it). Prints the package's path.
# Every time stamp comes from SOURCE_DATE_EPOCH (default: the newest entry of dist/changelog), so two
# builds of one commit give the same bytes, whichever folder they are built in.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-deb}
shift || true
SOURCE_DATE_EPOCH=${SOURCE_DATE_EPOCH:-$(dpkg-parsechangelog -l dist/changelog -STimestamp)}
export SOURCE_DATE_EPOCH
# All of Debian's hardening (bindnow included); no -g, as no debug package is made.
export DEB_BUILD_MAINT_OPTIONS=hardening=+all DEB_CFLAGS_MAINT_STRIP=-g DEB_CXXFLAGS_MAINT_STRIP=-g
# CMake reads no CPPFLAGS, so the fortify define goes with the compiler flags.
cppflags=$(dpkg-buildflags --get CPPFLAGS)
cflags="$(dpkg-buildflags --get CFLAGS) $cppflags"
cxxflags="$(dpkg-buildflags --get CXXFLAGS) $cppflags"
ldflags=$(dpkg-buildflags --get LDFLAGS)
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DCMAKE_INSTALL_PREFIX=/usr -DBUILD_TESTING=OFF \
  -DNRBX_BENCH=OFF "-DCMAKE_C_FLAGS=$cflags" "-DCMAKE_CXX_FLAGS=$cxxflags" "-DCMAKE_EXE_LINKER_FLAGS=$ldflags" \
  "$@" >/dev/null
cmake --build "$build" -j"$(nproc)" >/dev/null
rm -f "$build"/nrbx_*.deb
(cd "$build" && cpack -G DEB >/dev/null)
realpath "$build"/nrbx_*.deb
