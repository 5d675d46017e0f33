#!/usr/bin/env bash
# Builds the import fuzz target with clang (libFuzzer, ASan, UBSan) into build-fuzz/ and runs it for
# $1 seconds (default 60) over a copy of the seed corpus. Exit status 0 when it found nothing.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
cmake -S . -B build-fuzz -DCMAKE_BUILD_TYPE=RelWithDebInfo -DCMAKE_C_COMPILER=clang-14 \
  -DCMAKE_CXX_COMPILER=clang++-14 -DNRBX_FUZZ=ON -DNRBX_GUI=OFF -DNRBX_BENCH=OFF "${@:2}" >/dev/null
cmake --build build-fuzz -j"$(nproc)" --target nrbx-import-fuzz
# Inputs it finds go to a scratch corpus, so the committed seeds stay as they are.
corpus=$(mktemp -d)
trap 'rm -rf "$corpus"' EXIT
cp fuzz/corpus/* "$corpus"/
export ASAN_OPTIONS=detect_leaks=1:abort_on_error=1
export UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1
# Its progress lines go to a log; the end of it is shown, all that matters when something is found.
log=build-fuzz/fuzz.log
if build-fuzz/bin/nrbx-import-fuzz -max_total_time="$seconds" -rss_limit_mb=2048 -max_len=65536 \
  -artifact_prefix=build-fuzz/ -print_final_stats=1 "$corpus" >"$log" 2>&1; then
  tail -n 12 "$log"
else
  tail -n 120 "$log"
  echo "fuzzing found a fault; the input is in build-fuzz/ (crash-*, leak-*, timeout-*)" >&2
  exit 1
fi
