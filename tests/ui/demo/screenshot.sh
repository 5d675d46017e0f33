#!/usr/bin/env bash
# Takes docs/screenshot.png: the window with the demo files loaded, under Xvfb.
# Usage: tests/ui/demo/screenshot.sh [build folder, default build]
set -euo pipefail
cd "$(dirname "$0")/../../.."
build=${1:-build}
cmake --build "$build" --target nrbx_window_demo >/dev/null
xvfb-run -a -s "-screen 0 1024x768x24" bash -c "
  '$build/bin/nrbx_window_demo' & demo=\$!
  sleep 3
  import -window root docs/screenshot.png
  kill \$demo
"
echo "wrote docs/screenshot.png"
