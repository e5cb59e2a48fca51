#!/usr/bin/env bash
# The program itself on a virtual X server with a real tray (trayer): it starts
# hidden in the tray ("Minimize on Start up"), a real left click on its icon
# brings the window back, a real click on Minimize hides it again, and a right
# click on the icon shows it once more.
# Usage: tray_click_test.sh path/to/tolvane
set -euo pipefail
program=$1

# shellcheck source=test_scratch.sh
source "$(dirname "$0")/test_scratch.sh" tray
fail() {
    echo "FAILED: $*" >&2
    [ -s "$work/app.log" ] && { echo "--- tolvane said:" >&2; cat "$work/app.log" >&2; }
    exit 1
}
# x_retry: an X client command, again when its connection was refused.
source "$(dirname "$0")/../../scripts/private-session.sh"

# Nothing of the user's or the machine's.
isolated_home "$work/config" "$work/data"
mkdir -p "$XDG_CONFIG_HOME/tolvane"
printf '[Runit]\nRunMinimized=True\n' >"$XDG_CONFIG_HOME/tolvane/Tolvane 2.1.ini"

start_xvfb

x_client_start "$work/trayer.log" "xdotool search --name '^panel\$'" \
    trayer --edge top --align right --widthtype request --height 24 ||
    { cat "$work/trayer.log" >&2; fail "trayer did not start"; }
started "$x_client_pid"

title='^Tolvane 2\.1 - Quarnel $'
x_client_start "$work/app.log" 'xdotool search --onlyvisible --pid $pid' "$program" ||
    fail "no icon in the tray"
app=$x_client_pid
started "$app"

# Hidden at start, only the icon (the program's one visible window) on screen.
icon=$(x_retry xdotool search --onlyvisible --pid "$app" | head -n1)
[ "$(x_retry xdotool getwindowname "$icon")" != "Tolvane 2.1 - Quarnel " ] ||
    fail "the window is on screen although Minimize on Start up is set"
# The start decides shown or hidden before the program's event loop runs, and
# the icon is docked only from that loop: a window shown at start would be
# mapped by now.
x_retry xdotool search --onlyvisible --name "$title" >/dev/null && fail "the window did not start hidden"

x_retry xdotool mousemove --window "$icon" 5 5 click 1 >/dev/null
within xdotool search --onlyvisible --name "$title" ||
    fail "a left click on the icon did not show the window"
window=$(x_retry xdotool search --onlyvisible --name "$title" | head -n1)
echo "left click on the tray icon showed the window"

# The Minimize button: 120+120 twips from the left, 120+240 from the top of
# the client area, which lies below the menu bar (window height - 444 pixels).
eval "$(x_retry xdotool getwindowgeometry --shell "$window")"
menu_bar=$((HEIGHT - 444))
x_retry xdotool mousemove --window "$window" 64 $((menu_bar + 36)) click 1 >/dev/null
window_hidden() { ! x_retry xdotool search --onlyvisible --name "$title"; }
within window_hidden ||
    fail "Minimize did not hide the window"
echo "Minimize hid the window to the tray"

x_retry xdotool mousemove --window "$icon" 5 5 click 3 >/dev/null
within xdotool search --onlyvisible --name "$title" ||
    fail "a right click on the icon did not show the window"
echo "right click on the tray icon showed the window"
kill -0 "$app" 2>/dev/null || fail "tolvane ended"
