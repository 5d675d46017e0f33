#!/usr/bin/env bash
# Installs what nrbx needs, builds it and starts the viewer; arguments go on to nrbx (files to open),
# read from the folder the script was started in.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bash "$root/scripts/install-deps.sh"
bash "$root/scripts/build.sh" build
exec "$root/build/bin/nrbx" "$@"
