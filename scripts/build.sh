#!/usr/bin/env bash
# Configures and builds nrbx into build/ (or the folder given as $1, with extra CMake options after it),
# as developers and CI build it: warnings are errors, and the benchmarks are built too.
set -euo pipefail
cd "$(dirname "$0")/.."
dir=${1:-build}
shift || true
cmake -S . -B "$dir" -DCMAKE_BUILD_TYPE=RelWithDebInfo -DNRBX_WERROR=ON -DNRBX_BENCH=ON "$@" >/dev/null
cmake --build "$dir" -j"$(nproc)"
