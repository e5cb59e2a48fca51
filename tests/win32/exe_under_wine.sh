#!/bin/sh
# The real tolvane.exe under Wine: started from a folder whose path holds a
# space (so its own name reaches it in quotes) with "/force /lock" (Wine does
# not lock; nothing that ends the session is asked for), it must say that the
# lock was not carried out, store its folder and the Force box in the
# registry, show its window with the exact title, and end through File > Exit. A screenshot of the window is left in
# the build folder for a person to look at.
#
#   exe_under_wine.sh WINE-GUI TOLVANE.EXE SCREENSHOT.png
set -u
gui=$1
exe=$2
shot=$3
. "$(dirname "$0")/under_wine.sh"
use_wine_gui "$gui" display

cp "$exe" "$work/tolvane.exe"
key='HKCU\Software\VB and VBA Program Settings\Tolvane 2.1'
"$WINE" reg delete "$key" /f >/dev/null 2>&1 </dev/null

# The window tests that ran just before may leave a window of theirs on the
# display for a moment after their process has ended (the X server drops it
# once it sees the connection closed); it must not be in the picture.
none_titled() { [ -z "$(xdotool search --name "$pattern" 2>/dev/null)" ]; }
wait_until none_titled || fail "a window titled '$title' of an ended test stays on the display"

(cd "$work" && exec "$WINE" "$work/tolvane.exe" /force /lock >"$work/out.log" 2>&1 </dev/null) &
pid=$!

# Wine's LockWorkStation fails: the program says so before its window shows.
wait_for_window '^Tolvane$'
box=$window
[ -n "$box" ] || fail "no message that the lock was not carried out"
xdotool windowfocus --sync "$box"
xdotool key Return
echo "the failed lock was reported"

# This process's window, once shown.
wait_for_window "$pattern"
[ -n "$window" ] || fail "no window titled '$title'"
[ "$(xdotool getwindowname "$window")" = "$title" ] || fail "title is '$(xdotool getwindowname "$window")'"

# One value of the program's settings, as `wine reg query` prints it.
setting() {
    "$WINE" reg query "$key\\$1" /v "$2" 2>/dev/null </dev/null | tr -d '\r' |
        sed -n "s/^ *$2 *REG_SZ *//p"
}
folder=$("$WINE" winepath -w "$work" 2>/dev/null </dev/null | tr -d '\r')
path=$(setting Location Path)
[ "$path" = "$folder" ] || fail "Location/Path is '$path', expected '$folder'"
force=$(setting options c2)
[ "$force" = "1" ] || fail "options/c2 is '$force', expected 1"
printf 'Location/Path = %s\noptions/c2    = %s\n' "$path" "$force"

# The picture is for a person to look at; nothing is checked on it.
take_screenshot root "$shot"

# File > Exit: the program ends at once, with code 0.
exit_through_menu ""
[ "$exit_code" -eq 0 ] || fail "ended with code $exit_code"
echo "ended through File > Exit"
