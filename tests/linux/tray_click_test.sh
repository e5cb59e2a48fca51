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
# Waits until a command succeeds; the bound only guards against a hang.
within() {
    local seconds=$1
    shift
    for _ in $(seq $((seconds * 20))); do
        "$@" >/dev/null 2>&1 && return 0
        sleep 0.05
    done
    return 1
}
hang_guard=120
# x_retry: an X client command, again when its connection was refused.
source "$(dirname "$0")/../../scripts/private-session.sh"

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
within $hang_guard test -s "$work/display" || fail "Xvfb did not start"
export DISPLAY=":$(head -n1 "$work/display")"

x_client_start "$work/trayer.log" "xdotool search --name '^panel\$'" \
    trayer --edge top --align right --widthtype request --height 24 ||
    { cat "$work/trayer.log" >&2; fail "trayer did not start"; }
pids+=("$x_client_pid")

title='^Tolvane 2\.1 - Quarnel $'
x_client_start "$work/app.log" 'xdotool search --onlyvisible --pid $pid' "$program" ||
    fail "no icon in the tray"
app=$x_client_pid
pids+=("$app")

# Hidden at start, only the icon (the program's one visible window) on screen.
icon=$(x_retry xdotool search --onlyvisible --pid "$app" | head -n1)
[ "$(x_retry xdotool getwindowname "$icon")" != "Tolvane 2.1 - Quarnel " ] ||
    fail "the window is on screen although Minimize on Start up is set"
# The start decides shown or hidden before the program's event loop runs, and
# the icon is docked only from that loop: a window shown at start would be
# mapped by now.
x_retry xdotool search --onlyvisible --name "$title" >/dev/null && fail "the window did not start hidden"

x_retry xdotool mousemove --window "$icon" 5 5 click 1 >/dev/null
within $hang_guard xdotool search --onlyvisible --name "$title" ||
    fail "a left click on the icon did not show the window"
window=$(x_retry xdotool search --onlyvisible --name "$title" | head -n1)
echo "left click on the tray icon showed the window"

# The Minimize button: 120+120 twips from the left, 120+240 from the top of
# the client area, which lies below the menu bar (window height - 359 pixels).
eval "$(x_retry xdotool getwindowgeometry --shell "$window")"
menu_bar=$((HEIGHT - 359))
x_retry xdotool mousemove --window "$window" 64 $((menu_bar + 36)) click 1 >/dev/null
window_hidden() { ! x_retry xdotool search --onlyvisible --name "$title"; }
within $hang_guard window_hidden ||
    fail "Minimize did not hide the window"
echo "Minimize hid the window to the tray"

x_retry xdotool mousemove --window "$icon" 5 5 click 3 >/dev/null
within $hang_guard xdotool search --onlyvisible --name "$title" ||
    fail "a right click on the icon did not show the window"
echo "right click on the tray icon showed the window"
kill -0 "$app" 2>/dev/null || fail "tolvane ended"
