#!/bin/sh
# The window at 96, 120, 144 and 192 dots per inch, each set as a user sets
# it (LogPixels under HKCU\Control Panel\Desktop, which Wine reads when its
# server starts): at each, the window test program's
# Win32WindowAtTheSystemsResolution checks that the system reports that
# resolution, that every text shows whole and that no control's font is
# smaller than the system's message font there. At each a screenshot of the
# real tolvane.exe, tolvane-DPIdpi.png, is left for a person to look at.
#
# This runs in a prefix of its own, fresh from wineboot with only Wine's own
# fonts (the symbol font of the title bar's buttons, and Tahoma, the message
# font's face): the other tests' prefix never changes resolution under them.
#
#   dpi_under_wine.sh WINE-GUI WINDOW-TESTS.EXE TOLVANE.EXE SCREENSHOT-FOLDER
set -u
gui=$1
tests=$2
exe=$3
shots=$4
. "$(dirname "$0")/under_wine.sh"
. "$(dirname "$0")/wine_prefix.sh"
use_wine_gui "$gui" display
WINEPREFIX="$(dirname "$gui")/dpi-prefix"
export WINEPREFIX
# Only this prefix's server and programs.
at_exit() { end_server; }

# Wine draws the frames itself, as in the other tests' prefix. The fonts are
# given each time, for a prefix made before it had them all.
ready_prefix draw_own_frames
add_wine_fonts marlett tahoma tahomabd
[ -f "$WINEPREFIX/drive_c/windows/Fonts/tahoma.ttf" ] ||
    fail "Wine's Tahoma is missing (the fonts-wine package)"
cp "$tests" "$work/window_tests.exe"
cp "$exe" "$work/tolvane.exe"

# The time boxes given their widest items, 12, 00 and PM, typed as a user
# may: Tab from the first button (which has the focus) to the hour box, then
# a box's item and Tab to the next. The caret stays after PM, where a text
# wider than its box would have scrolled it out of sight at the left. (Typed
# rather than picked from the lists: a picked item is shown selected, and a
# letter without a gap before it, as Tahoma's 0, merges with the window's
# background at the selection's edge.) Returns once the window has changed
# from the picture take_screenshot left in $work/last.ppm.
type_widest_time() {
    mv "$work/last.ppm" "$work/untyped.ppm"
    xdotool windowfocus --sync "$window"
    xdotool key Tab Tab Tab Tab Tab Tab Tab Tab Tab 1 2 Tab 0 0 Tab P M
    typed() {
        import -window "$window" "ppm:$work/now.ppm" 2>/dev/null &&
            ! cmp -s "$work/untyped.ppm" "$work/now.ppm"
    }
    wait_until typed || fail "the time boxes never changed at $1 dpi"
}

# The real program's window at the prefix's resolution, pictured once it has
# stopped changing and again with the time typed, then ended through
# File > Exit.
screenshot() {
    (cd "$work" && exec "$WINE" "$work/tolvane.exe" >"$work/out.log" 2>&1 </dev/null) &
    pid=$!
    wait_for_window "$pattern"
    [ -n "$window" ] || fail "no window titled '$title' at $1 dpi"
    take_screenshot "$window" "$work/untyped.png" >/dev/null
    type_widest_time "$1"
    take_screenshot "$window" "$shots/tolvane-${1}dpi.png"
    exit_through_menu " at $1 dpi"
}

status=0
for dpi in 96 120 144 192; do
    # A server that has ended writes the registry out, and the next one
    # starts reading the new resolution.
    "$WINESERVER" -w
    "$WINE" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f \
        >/dev/null 2>&1 </dev/null
    "$WINESERVER" -w
    if TOLVANE_EXPECTED_DPI=$dpi "$WINE" "$work/window_tests.exe" \
        --gtest_filter='Win32WindowAtTheSystemsResolution.*' >"$work/test.log" 2>&1 </dev/null; then
        echo "$dpi dpi: every text shows whole, in at least the system's font size"
    else
        echo "$dpi dpi:" >&2
        cat "$work/test.log" >&2
        status=1
    fi
    screenshot "$dpi"
done
exit $status
