#!/usr/bin/env bash
# Installs the package with apt-get, checks that it is installed, purges it again and compares the
# machine's files before and after: a purge must leave no file of the package behind (nor take one that
# was there). Places that change on their own are left out of the comparison: the kernel's views, temporary
# and cache folders, logs, apt's lists, dpkg's status files, home folders and /work (other builds
# run there). As root; for CI.
# Usage: scripts/check-install-purge.sh PACKAGE.deb
set -euo pipefail
deb=$(realpath "${1:?usage: check-install-purge.sh PACKAGE.deb}")
apt=(apt-get -o DPkg::Lock::Timeout=600 -y -qq)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT

if dpkg-query -W -f='${Status}' nrbx 2>/dev/null | grep -q 'ok installed'; then
  echo "check-install-purge: nrbx is installed on this machine already; not replacing and purging it" >&2
  exit 1
fi

files() {
  find / -xdev \( -path /proc -o -path /sys -o -path /dev -o -path /run -o -path /tmp -o -path /var/tmp \
    -o -path /var/cache -o -path /var/log -o -path /var/lib/apt -o -path /root -o -path /home \
    -o -path /work -o -path /var/lib/dpkg/lock -o -path /var/lib/dpkg/lock-frontend \
    -o -path /var/lib/dpkg/triggers/Lock -o -path /var/lib/dpkg/status-old \
    -o -path /var/lib/dpkg/available-old -o -path /var/lib/dpkg/diversions-old \
    -o -path /var/lib/dpkg/statoverride-old \) -prune -o -print | LC_ALL=C sort
}

files >"$work/before"
"${apt[@]}" install "$deb" >/dev/null
[ -x /usr/bin/nrbx-export ] && nrbx-export --version >/dev/null
files >"$work/installed"
[ "$(comm -13 "$work/before" "$work/installed" | grep -c '^/usr/bin/nrbx')" = 4 ] ||
  { echo "check-install-purge: the install did not add the four programs" >&2; exit 1; }
"${apt[@]}" purge nrbx >/dev/null
files >"$work/after"
if ! diff "$work/before" "$work/after" >"$work/diff"; then
  echo "check-install-purge: files differ after installing and purging nrbx (< before, > after):" >&2
  cat "$work/diff" >&2
  exit 1
fi
echo "check-install-purge: $(comm -13 "$work/before" "$work/installed" | wc -l) paths installed, none left after the purge"
