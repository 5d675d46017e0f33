#!/usr/bin/env bash
# Installs what nrbx needs, builds it and starts the viewer.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/install-deps.sh
bash scripts/build.sh build
exec ./build/bin/nrbx
