# Sourced by the window-manager tests: finding the program's windows and reading their geometry.

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
