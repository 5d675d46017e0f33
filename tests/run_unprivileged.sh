#!/usr/bin/env bash
# Runs the given test program as an ordinary user, so permission checks bind even when the suite runs as
# root. Exits 77 (skipped) when that user cannot reach the program.
set -u
if [ "$(id -u)" != 0 ]; then exec "$@"; fi
if ! setpriv --reuid=65534 --regid=65534 --clear-groups test -x "$1" 2>/dev/null; then
  echo "unprivileged user cannot reach $1: skipped"
  exit 77
fi
exec setpriv --reuid=65534 --regid=65534 --clear-groups env HOME=/tmp TMPDIR=/tmp "$@"
