#!/usr/bin/env bash
# The real program under a real window manager (Openbox on a private Xvfb display): maximise and the
# fixed border, the popup over the picture only, the about window's frame, and the place at scale 2 on
# a small screen. Usage: window_manager_test.sh path/to/nrbx [folder for screenshots]
set -uo pipefail
nrbx=$1
shots=${2:-}
failures=0
pids=()

fail() { echo "FAIL: $*"; failures=$((failures + 1)); }
cleanup() { for p in "${pids[@]}"; do kill "$p" 2>/dev/null; done; wait 2>/dev/null; rm -rf "$work"; }
work=$(mktemp -d)
trap cleanup EXIT

. "$(dirname "$0")/x_windows.sh"
start_xvfb
export QT_QPA_PLATFORM=xcb XDG_RUNTIME_DIR=$work
unset QT_SCALE_FACTOR

openbox --sm-disable >"$work/openbox.log" 2>&1 &
pids+=($!)
for _ in $(seq 50); do wmctrl -m 2>/dev/null | grep -q Openbox && break; sleep 0.1; done
wmctrl -m 2>/dev/null | grep -q Openbox || { echo "FAIL: the window manager did not start"; cat "$work/openbox.log"; exit 1; }

# Windows of the program that are mapped, menus included.
mapped_count() { xdotool search --onlyvisible --pid "$1" 2>/dev/null | wc -l; }
pixel() { convert "$1" -format "%[pixel:p{$2,$3}]" info:; }

"$nrbx" >"$work/nrbx.log" 2>&1 &
app=$!
pids+=($app)
main=$(window_titled "ノルバクス") || { echo "FAIL: no main window"; cat "$work/nrbx.log"; exit 1; }
sleep 0.5
read -r w0 h0 x0 y0 < <(geometry "$main")
[ "$w0" = 473 ] || fail "designed width is 473, got $w0"

# The window manager offers maximise; the border is fixed: a drag on the bottom-right corner is refused.
actions=$(xprop -id "$main" _NET_WM_ALLOWED_ACTIONS)
grep -q _NET_WM_ACTION_MAXIMIZE_HORZ <<<"$actions" && grep -q _NET_WM_ACTION_MAXIMIZE_VERT <<<"$actions" ||
    fail "no maximise offered: $actions"
read -r _ _ _ bottom < <(xprop -id "$main" _NET_FRAME_EXTENTS | tr -d ',' | awk '{print $3, $4, $5, $6}')
corner_x=$((x0 + w0 - 1)) corner_y=$((y0 + h0 + bottom - 1))
xdotool mousemove "$corner_x" "$corner_y" sleep 0.2 mousedown 1 sleep 0.2 mousemove $((corner_x + 60)) $((corner_y + 50)) \
    sleep 0.2 mousemove $((corner_x + 150)) $((corner_y + 120)) sleep 0.2 mouseup 1
sleep 1
read -r w h x y < <(geometry "$main")
[ "$w $h $x $y" = "$w0 $h0 $x0 $y0" ] || fail "edge drag changed the window: $w0x$h0+$x0+$y0 -> $w x$h+$x+$y"

# Maximise enlarges the window and the line under the menu bar follows the new width.
wmctrl -i -r "$main" -b add,maximized_vert,maximized_horz
sleep 1
read -r w h x y < <(geometry "$main")
[ "$w" -gt 1000 ] && [ "$h" -gt 700 ] || fail "maximise did not enlarge the window: ${w}x$h"
import -window root "$work/max.png"
menu=$((h0 - 316))
line_found=0
for row in $(seq $((y + menu - 2)) $((y + menu + 3))); do
    left=$(pixel "$work/max.png" $((x + 20)) "$row")
    right=$(pixel "$work/max.png" $((x + w - 3)) "$row")
    below=$(pixel "$work/max.png" $((x + w - 3)) $((row + 6)))
    if [ "$left" = "$right" ] && [ "$right" != "$below" ]; then line_found=1; fi
done
[ "$line_found" = 1 ] || fail "the line under the menu bar does not reach the right edge when maximised"
[ -n "$shots" ] && convert "$work/max.png" -crop "$((w + 2))x$((h + 22))+$((x - 1))+$((y - 21))" "$shots/maximised.png"

# Restore gives back the designed size and place.
wmctrl -i -r "$main" -b remove,maximized_vert,maximized_horz
sleep 1
read -r w h x y < <(geometry "$main")
[ "$w $h $x $y" = "$w0 $h0 $x0 $y0" ] || fail "restore gave ${w}x$h+$x+$y, not ${w0}x$h0+$x0+$y0"

# A right press on the picture released off it opens no menu; a right click on it does.
px=$((x0 + 176 + 40)) py=$((y0 + menu + 8 + 40))
before=$(mapped_count "$app")
xdotool mousemove "$px" "$py" sleep 0.2 mousedown 3 sleep 0.2 mousemove $((x0 + 60)) $((py + 30)) sleep 0.2 mouseup 3
sleep 0.7
[ "$(mapped_count "$app")" = "$before" ] || fail "a right release off the picture opened a menu"
xdotool key Escape
xdotool mousemove "$px" "$py" sleep 0.2 click 3
sleep 0.7
[ "$(mapped_count "$app")" -gt "$before" ] || fail "a right click on the picture opened no menu"
xdotool key Escape
sleep 0.3

# The about window: a dialog frame with neither minimise nor maximise, and not held above the main window.
xdotool windowactivate --sync "$main" key alt+h sleep 0.5 key a
about=$(window_titled "アプリケーション情報") || fail "no about window"
if [ -n "$about" ]; then
    sleep 0.5
    actions=$(xprop -id "$about" _NET_WM_ALLOWED_ACTIONS)
    grep -Eq "MINIMIZE|MAXIMIZE" <<<"$actions" && fail "the about window can be minimised or maximised: $actions"
    grep -q _NET_WM_ACTION_CLOSE <<<"$actions" || fail "the about window cannot be closed: $actions"
    if [ -n "$shots" ]; then
        read -r aw ah ax ay < <(geometry "$about")
        import -window root "$work/about.png"
        convert "$work/about.png" -crop "$((aw + 2))x$((ah + 22))+$((ax - 1))+$((ay - 21))" "$shots/about-openbox.png"
    fi
    wmctrl -i -a "$main"
    sleep 0.5
    top=$(xprop -root _NET_CLIENT_LIST_STACKING | awk '{print $NF}')
    [ "$((top))" = "$((main))" ] || fail "the main window cannot come in front of the about window"
fi
wmctrl -i -c "$main"
for _ in $(seq 50); do kill -0 "$app" 2>/dev/null || break; sleep 0.1; done
kill -0 "$app" 2>/dev/null && fail "closing the main window did not end the program"

# Scale factor 2 on this 1280 x 1024 screen: the whole frame stays on the screen.
QT_SCALE_FACTOR=2 "$nrbx" >"$work/nrbx2.log" 2>&1 &
pids+=($!)
main=$(window_titled "ノルバクス") || fail "no main window at scale 2"
if [ -n "$main" ]; then
    sleep 0.7
    read -r w h x y < <(geometry "$main")
    read -r fl fr ft fb < <(xprop -id "$main" _NET_FRAME_EXTENTS | tr -d ',' | awk '{print $3, $4, $5, $6}')
    [ "$((x - fl))" -ge 0 ] && [ "$((y - ft))" -ge 0 ] && [ "$((x + w + fr))" -le 1280 ] &&
        [ "$((y + h + fb))" -le 1024 ] || fail "at scale 2 the window leaves the screen: ${w}x$h+$x+$y"
    [ "$w" = 946 ] || fail "at scale 2 the window is 946 pixels wide, got $w"
fi

[ "$failures" = 0 ] && echo "all window-manager checks passed"
exit $((failures > 0))
