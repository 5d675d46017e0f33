# Sourced by the window-manager tests: the X server, finding the program's windows and their geometry.

# Starts Xvfb on a display number nobody else holds (Xvfb picks it and reports it), adds it to the
# caller's pids and exports DISPLAY; ends the test when it cannot start.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 1280x1024x24 -nolisten tcp 3>"$work/display" >"$work/xvfb.log" 2>&1 &
    pids+=($!)
    for _ in $(seq 50); do [ -s "$work/display" ] && break; sleep 0.1; done
    [ -s "$work/display" ] || { echo "FAIL: Xvfb did not start"; cat "$work/xvfb.log"; exit 1; }
    export DISPLAY=:$(head -n1 "$work/display")
}

# Waits for a managed window whose title is $1 and prints its id.
window_titled() {
    for _ in $(seq 100); do
        local id
        id=$(wmctrl -l | awk -v t="$1" '{ name = $0; sub(/^[^ ]+ +[^ ]+ +[^ ]+ /, "", name); if (name == t) print $1 }')
        [ -n "$id" ] && { echo "$id"; return 0; }
        sleep 0.1
    done
    return 1
}
# Width, height and the client area's absolute left and top of a window.
geometry() { xwininfo -id "$1" | awk '/Absolute upper-left X/{x=$4} /Absolute upper-left Y/{y=$4} /Width:/{w=$2} /Height:/{h=$2} END{print w, h, x, y}'; }
