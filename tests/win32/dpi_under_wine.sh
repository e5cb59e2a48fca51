#!/bin/sh
# The window at 96, 120, 144 and 192 dots per inch, each set as a user sets
# it (LogPixels under HKCU\Control Panel\Desktop, which Wine reads when its
# server starts): at each, the window test program's
# Win32WindowAtTheSystemsResolution checks that the system reports that
# resolution and that every text shows whole. At 96 and 144 a screenshot of
# the real tolvane.exe is left for a person to look at.
#
# This runs in a prefix of its own, fresh from wineboot with only Wine's own
# fonts (and the symbol font of the title bar's buttons): the other tests'
# prefix never changes resolution under them.
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

# Wine draws the frames itself, as in the other tests' prefix.
ready_prefix draw_own_frames marlett
cp "$tests" "$work/window_tests.exe"
cp "$exe" "$work/tolvane.exe"

# The real program's window at the prefix's resolution, pictured once it has
# stopped changing, then ended through File > Exit.
screenshot() {
    (cd "$work" && exec "$WINE" "$work/tolvane.exe" >"$work/out.log" 2>&1 </dev/null) &
    pid=$!
    wait_for_window "$pattern"
    [ -n "$window" ] || fail "no window titled '$title' at $1 dpi"
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
        echo "$dpi dpi: every text shows whole"
    else
        echo "$dpi dpi:" >&2
        cat "$work/test.log" >&2
        status=1
    fi
    case $dpi in 96 | 144) screenshot "$dpi" ;; esac
done
exit $status
