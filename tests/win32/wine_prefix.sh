# shellcheck shell=sh
# Sourced by wine-run and wine-gui, which run the Windows tests under Wine in
# a prefix of their own build folder, and by dpi_under_wine.sh for its prefix.
# Expects WINE and WINESERVER, and WINEPREFIX after wine_environment.

# The environment every test program runs in: the prefix DIR/prefix and the
# home DIR/home, made for it; no debug output, no Mono or Gecko installer, no
# menu entries on the machine, no D-Bus session.
wine_environment() {
    export WINEPREFIX="$1/prefix"
    export HOME="$1/home"
    export WINEDEBUG=-all
    export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
    export DBUS_SESSION_BUS_ADDRESS=disabled:
    mkdir -p "$HOME"
}

#   ready_prefix [COMMAND [ARGS]]
# Makes the prefix once, with wineboot and then COMMAND, which readies it
# further; under a lock, since several tests may start on a fresh one at once.
ready_prefix() {
    [ -f "$WINEPREFIX/.tolvane-ready" ] && return 0
    (
        flock 9
        if [ ! -f "$WINEPREFIX/.tolvane-ready" ]; then
            "$WINE" wineboot -i >/dev/null 2>&1 </dev/null
            "$WINESERVER" -w
            if [ $# -gt 0 ]; then
                "$@"
                "$WINESERVER" -w
            fi
            touch "$WINEPREFIX/.tolvane-ready"
        fi
    ) 9>"$(dirname "$WINEPREFIX")/.init-lock"
}

#   draw_own_frames [FONT...]
# Wine then draws the window frames itself (no window manager needed, and no
# 2-second wait when a window is hidden), and has these of its fonts (by name,
# without .ttf) that the frames and their caption buttons are drawn with.
draw_own_frames() {
    "$WINE" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
        >/dev/null 2>&1 </dev/null
    add_wine_fonts "$@"
}

#   add_wine_fonts FONT...
# Gives the prefix these of Wine's own fonts (by name, without .ttf). This
# Wine does not find them where the package puts them, and draws a font it
# lacks with one of the machine's instead: without Tahoma, the face of its
# message font, the window's texts would be in the far wider DejaVu Sans.
add_wine_fonts() {
    for font in "$@"; do
        if [ -f "/usr/share/wine/fonts/$font.ttf" ]; then
            cp "/usr/share/wine/fonts/$font.ttf" "$WINEPREFIX/drive_c/windows/Fonts/"
        fi
    done
}

# Ends the prefix's server and every program of it, and waits until they have.
end_server() {
    "$WINESERVER" -k 2>/dev/null
    "$WINESERVER" -w 2>/dev/null
}

#   start_server NAME
# Starts a server that never ends by itself, for the tests that follow: one
# that does can go away just as the next test connects to it, and that test
# dies with "wine client error". Its output must not hold CTest's pipe.
start_server() {
    if ! "$WINESERVER" -p </dev/null >/dev/null 2>&1; then
        echo "$1: the wineserver did not start" >&2
        exit 1
    fi
}

#   run_in_prefix NAME SERVER-MARK PROGRAM [ARGS]
# Runs a Windows program and returns its status. While the file SERVER-MARK
# is there a test run's server is meant to be up. NAME is said with a failure.
run_in_prefix() {
    run_name=$1
    if [ -f "$2" ]; then
        # Starts the run's server only if it is gone (the machine restarted
        # under a run); otherwise returns at once.
        "$WINESERVER" -p </dev/null >/dev/null 2>&1
    else
        # Outside a test run (test discovery, a run by hand): let the server
        # the program before left behind finish ending, rather than connect
        # to it as it does; this program starts a fresh one.
        "$WINESERVER" -w
    fi
    shift 2
    # Wine's helpers inherit the output and would hold CTest's pipe open.
    run_out=$(mktemp "$(dirname "$WINEPREFIX")/out.XXXXXX")
    "$WINE" "$@" >"$run_out" 2>&1 </dev/null
    run_status=$?
    cat "$run_out"
    rm -f "$run_out"
    # A program that dies loses what it buffered: its status is then the only trace.
    if [ "$run_status" -ne 0 ]; then
        echo "$run_name: $1 ended with status $run_status" >&2
    fi
    return $run_status
}
