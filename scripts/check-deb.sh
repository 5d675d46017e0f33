#!/usr/bin/env bash
# Builds the Debian package (scripts/build-deb.sh), holds it to lintian --pedantic (any error or
# warning fails), installs it with apt-get on this machine, runs the installed programs and purges the
# package again, so the machine is left as it was. As root; for CI.
# Usage: scripts/check-deb.sh [build folder, default build-deb] [extra CMake options]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build-deb}
shift || true
apt=(apt-get -o DPkg::Lock::Timeout=600 -y -qq)

if dpkg-query -W -f='${Status}' nrbx 2>/dev/null | grep -q 'ok installed'; then
  echo "check-deb: nrbx is installed on this machine already; not replacing and purging it" >&2
  exit 1
fi

deb=$(bash scripts/build-deb.sh "$build" "$@")
echo "== $(basename "$deb")"
dpkg-deb --field "$deb" Package Version Architecture Section Depends Recommends
# shlibdeps derives Depends from what the programs link: libdeflate and zlib write PNG files, libpng
# reads them.
for lib in libdeflate0 zlib1g libpng16-16; do
  dpkg-deb --field "$deb" Depends | grep -q "$lib" || { echo "check-deb: Depends lacks $lib" >&2; exit 1; }
done

echo "== lintian --pedantic"
# Info and pedantic tags are shown and left to judgement; errors and warnings are not accepted.
lintian --pedantic --display-info "$deb" | tee "$build/lintian.txt"
if grep -Eq '^[EW]: ' "$build/lintian.txt"; then
  echo "check-deb: lintian reports errors or warnings" >&2
  exit 1
fi
# The hardening the package build promises is not left to judgement either.
if grep -q ' hardening-' "$build/lintian.txt"; then
  echo "check-deb: lintian finds executables without Debian's hardening" >&2
  exit 1
fi

trap '"${apt[@]}" purge nrbx >/dev/null' EXIT
"${apt[@]}" install "$deb" >/dev/null
nrbx-export --version
nrbx-import --version
[ "$(command -v nrbx)" = /usr/bin/nrbx ]
[ -f /usr/share/nrbx/nrbx.hlp ]
[ "$(nrbx --help | sed -n 's/^Help file: //p')" = /usr/bin/../share/nrbx/nrbx.hlp ]
desktop-file-validate /usr/share/applications/org.example.nrbx.desktop
grep -q 'application/x-nrbx-pcg' /usr/share/mime/globs2  # dpkg's trigger registered the file type
samples=/usr/share/doc/nrbx/samples
QT_QPA_PLATFORM=offscreen NRBX_EXIT_WHEN_SHOWN=1 nrbx "$samples/demo.pcg" "$samples/demo.pal" 2>&1 |
  grep '^nrbx: shown at'

trap - EXIT
"${apt[@]}" purge nrbx >/dev/null
if dpkg-query -W -f='${Status}' nrbx 2>/dev/null | grep -q 'ok installed' || [ -e /usr/bin/nrbx ]; then
  echo "check-deb: nrbx is still installed after the purge" >&2
  exit 1
fi
echo "check-deb: package built, installed, run and purged"
