#!/usr/bin/env bash
# The program itself on a virtual X server with a real tray (trayer): it starts
# hidden in the tray ("Minimize on Start up"), a real left click on its icon
# brings the window back, a real click on Minimize hides it again, and a right
# click on the icon shows it once more.
# Usage: tray_click_test.sh path/to/tolvane
set -euo pipefail
program=$1

work=$(mktemp -d /tmp/tolvane-tray-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
fail() {
    echo "FAILED: $*" >&2
    [ -s "$work/app.log" ] && { echo "--- tolvane said:" >&2; cat "$work/app.log" >&2; }
    exit 1
}
# Polls a command for up to $1 seconds.
within() {
    local seconds=$1
    shift
    for _ in $(seq $((seconds * 20))); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}

# Nothing of the user's or the machine's: own folders, and D-Bus addresses
# that lead nowhere, so no power request can leave the program (and Qt uses
# the X11 tray, not a desktop's D-Bus one).
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="$work/runtime"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
mkdir -p "$HOME" "$XDG_CONFIG_HOME/tolvane" "$XDG_DATA_HOME"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
printf '[Runit]\nRunMinimized=True\n' >"$XDG_CONFIG_HOME/tolvane/Tolvane 2.1.ini"

Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
within 10 test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

# Now and then (about one in a hundred here) the X server refuses a new
# client, whatever the client; trayer then ends at once and is started again.
for attempt in 1 2 3; do
    trayer --edge top --align right --widthtype request --height 24 >"$work/trayer.log" 2>&1 &
    trayer_pid=$!
    pids+=("$trayer_pid")
    within 10 xdotool search --name '^panel$' && break
    kill -0 "$trayer_pid" 2>/dev/null || { echo "trayer ended at once, starting it again" >&2; continue; }
    break
done
within 1 xdotool search --name '^panel$' || { cat "$work/trayer.log" >&2; fail "trayer did not start"; }

"$program" >"$work/app.log" 2>&1 &
app=$!
pids+=("$app")
title='^Tolvane 2\.1 - Quarnel $'

# Hidden at start, only the icon (the program's one visible window) on screen.
within 10 xdotool search --onlyvisible --pid "$app" || fail "no icon in the tray"
icon=$(xdotool search --onlyvisible --pid "$app" | head -n1)
[ "$(xdotool getwindowname "$icon")" != "Tolvane 2.1 - Quarnel " ] ||
    fail "the window is on screen although Minimize on Start up is set"
within 1 xdotool search --onlyvisible --name "$title" && fail "the window did not start hidden"

xdotool mousemove --window "$icon" 5 5 click 1
within 5 xdotool search --onlyvisible --name "$title" || fail "a left click on the icon did not show the window"
window=$(xdotool search --onlyvisible --name "$title" | head -n1)
echo "left click on the tray icon showed the window"

# The Minimize button: 120+120 twips from the left, 120+240 from the top of
# the client area, which lies below the menu bar (window height - 359 pixels).
eval "$(xdotool getwindowgeometry --shell "$window")"
menu_bar=$((HEIGHT - 359))
xdotool mousemove --window "$window" 64 $((menu_bar + 36)) click 1
within 5 bash -c "! xdotool search --onlyvisible --name '$title'" || fail "Minimize did not hide the window"
echo "Minimize hid the window to the tray"

xdotool mousemove --window "$icon" 5 5 click 3
within 5 xdotool search --onlyvisible --name "$title" || fail "a right click on the icon did not show the window"
echo "right click on the tray icon showed the window"
kill -0 "$app" 2>/dev/null || fail "tolvane ended"
