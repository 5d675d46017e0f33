#!/usr/bin/env bash
# The program on Wayland, under weston's headless compositor: the real program reaches its first paint
# with nothing on standard error, and the dialogs carry no frame of Qt's own (wayland_frame_test).
# Fails when weston cannot start. With a folder, a screenshot of the about window is left there.
# Usage: wayland_test.sh path/to/nrbx path/to/nrbx_ui_wayland_frame_test [folder for a screenshot]
set -uo pipefail
nrbx=$1
frame_test=$2
shots=${3:-}
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
work=$(mktemp -d)
chmod 700 "$work"
weston_pid=
cleanup() { [ -n "$weston_pid" ] && kill "$weston_pid" 2>/dev/null; wait 2>/dev/null; rm -rf "$work"; }
trap cleanup EXIT

# No X server to fall back to: whatever runs here runs on Wayland or not at all.
unset DISPLAY QT_SCALE_FACTOR
export XDG_RUNTIME_DIR=$work/runtime WAYLAND_DISPLAY=nrbx-test QT_QPA_PLATFORM=wayland
mkdir -m 700 "$XDG_RUNTIME_DIR"
# --debug lets weston-screenshooter in; the pixman renderer keeps pixels to take.
weston --backend=headless-backend.so --use-pixman --debug --socket="$WAYLAND_DISPLAY" --width=640 --height=480 \
    --idle-time=0 --no-config >"$work/weston.log" 2>&1 &
weston_pid=$!
for _ in $(seq 100); do [ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] && break; sleep 0.1; done
[ -S "$XDG_RUNTIME_DIR/$WAYLAND_DISPLAY" ] || { echo "FAIL: weston did not start"; cat "$work/weston.log"; exit 1; }
# A client that connects while weston's desktop shell is still starting may never be shown (seen on a
# loaded machine); the shell is up once its helper client runs, and has settled a moment later.
for _ in $(seq 100); do pgrep -P "$weston_pid" -f weston-desktop-shell >/dev/null && break; sleep 0.1; done
pgrep -P "$weston_pid" -f weston-desktop-shell >/dev/null || { echo "FAIL: weston's shell did not start"; cat "$work/weston.log"; exit 1; }
sleep 1

# Under the sanitizer build the system's Wayland client side (libwayland-client and the graphics driver,
# unloaded before the leak check can name it) keeps a few allocations to the end; our own code's leaks
# are looked for by the same program paths in the offscreen and X11 runs.
[ -n "${ASAN_OPTIONS:-}" ] && export ASAN_OPTIONS=$ASAN_OPTIONS:detect_leaks=0

NRBX_EXIT_WHEN_SHOWN=1 timeout 60 "$nrbx" 2>"$work/nrbx.err"
status=$?
[ "$status" = 0 ] || fail "nrbx ended with status $status"
grep -Eq '^nrbx: shown at [0-9]+$' "$work/nrbx.err" || fail "nrbx did not reach its first paint"
grep -Ev '^nrbx: shown at [0-9]+$' "$work/nrbx.err" | grep -q . && fail "nrbx wrote to standard error: $(cat "$work/nrbx.err")"

timeout 60 "$frame_test" >"$work/frame.out" 2>"$work/frame.err" || { fail "the dialogs' frame"; cat "$work/frame.out"; }
[ -s "$work/frame.err" ] && fail "the frame test wrote to standard error: $(cat "$work/frame.err")"

if [ -n "$shots" ]; then
    NRBX_WAYLAND_HOLD_MS=2500 timeout 60 "$frame_test" aboutWindowHasItsOwnTitleBar >/dev/null 2>&1 &
    sleep 2
    (cd "$work" && weston-screenshooter) && mv "$work"/wayland-screenshot-*.png "$shots/about-wayland.png"
    wait $!
fi

[ "$failures" = 0 ] && echo "nrbx runs on Wayland with its own dialog title bars"
exit $((failures > 0))
