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
. "$(dirname "$0")/wait_until.sh"
eval "$("$gui" env)"
if [ -z "$DISPLAY" ]; then
    echo "no display: run through CTest, whose fixture starts one" >&2
    exit 1
fi
WINEPREFIX="$(dirname "$gui")/dpi-prefix"
export WINEPREFIX

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane dpi.XXXXXX")
pid=
finish() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid"; fi
    # Only this prefix's server and programs.
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w 2>/dev/null
    rm -rf "$work"
}
trap finish EXIT
fail() {
    printf 'FAILED: %s\n' "$*" >&2
    exit 1
}

if [ ! -f "$WINEPREFIX/.tolvane-ready" ]; then
    "$WINE" wineboot -i >/dev/null 2>&1 </dev/null
    "$WINESERVER" -w
    # Wine draws the frames itself, as in the other tests' prefix.
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        >/dev/null 2>&1 </dev/null
    if [ -f /usr/share/wine/fonts/marlett.ttf ]; then
        cp /usr/share/wine/fonts/marlett.ttf "$WINEPREFIX/drive_c/windows/Fonts/"
    fi
    "$WINESERVER" -w
    touch "$WINEPREFIX/.tolvane-ready"
fi
cp "$tests" "$work/window_tests.exe"
cp "$exe" "$work/tolvane.exe"

title='Tolvane 2.1 - Quarnel '
pattern="^Tolvane 2\\.1 - Quarnel \$"

# The real program's window at the prefix's resolution, pictured once it has
# stopped changing, then ended through File > Exit.
screenshot() {
    (cd "$work" && exec "$WINE" "$work/tolvane.exe" >"$work/out.log" 2>&1 </dev/null) &
    pid=$!
    window=
    shown() {
        window=$(xdotool search --onlyvisible --pid "$pid" --name "$pattern" 2>/dev/null |
            head -n 1)
        [ -n "$window" ] || ! kill -0 "$pid" 2>/dev/null
    }
    wait_until shown
    [ -n "$window" ] || fail "no window titled '$title' at $1 dpi"
    rm -f "$work/last.ppm"
    settled() {
        import -window "$window" "ppm:$work/next.ppm" 2>/dev/null || return 1
        if [ -f "$work/last.ppm" ] && cmp -s "$work/last.ppm" "$work/next.ppm"; then
            return 0
        fi
        mv "$work/next.ppm" "$work/last.ppm"
        return 1
    }
    wait_until settled || echo "the window never stopped changing; the screenshot is its last state"
    mkdir -p "$shots"
    convert "$work/last.ppm" "$shots/tolvane-${1}dpi.png" || fail "no screenshot"
    echo "screenshot: $shots/tolvane-${1}dpi.png"
    xdotool windowfocus --sync "$window"
    xdotool key F10 Down x
    ended() { ! kill -0 "$pid" 2>/dev/null; }
    wait_until ended || fail "still running after File > Exit at $1 dpi"
    wait "$pid"
    pid=
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
