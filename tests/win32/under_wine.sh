# shellcheck shell=sh
# Sourced by the Windows test scripts (NAME_under_wine.sh), once they have
# read their arguments. It gives them:
#
#   work                      an empty folder, "tolvane NAME.XXXXXX" (a path
#                             with a space), removed at exit
#   pid                       a Windows program the script started; ended at
#                             exit if it still runs
#   at_exit                   more to undo at exit, before the folder goes: a
#                             script redefines it once there is something
#   fail MESSAGE              says what failed (with the program's output,
#                             $work/out.log, if there is one) and exits
#   wait_until COMMAND [ARGS] runs the command every tenth of a second until
#                             it succeeds (status 0), or returns 1 once
#                             hang_guard seconds have passed without that
#   use_wine_gui WINE-GUI [display]
#                             takes the prefix (WINEPREFIX, WINE, WINESERVER)
#                             and display of wine-gui; with "display", fails
#                             when there is no display
#
# The guard only turns a hang into a failure: it is far more than a loaded
# machine needs, and nothing waits for it when all goes well.
hang_guard=120

wait_until() {
    wait_until_deadline=$(($(date +%s) + hang_guard))
    until "$@"; do
        [ "$(date +%s)" -lt "$wait_until_deadline" ] || return 1
        sleep 0.1
    done
}

fail() {
    printf 'FAILED: %s\n' "$*" >&2
    [ -f "$work/out.log" ] && cat "$work/out.log" >&2
    exit 1
}

use_wine_gui() {
    eval "$("$1" env)"
    if [ "${2-}" = display ] && [ -z "$DISPLAY" ]; then
        echo "no display: run through CTest, whose fixture starts one" >&2
        exit 1
    fi
}

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane $(basename "$0" _under_wine.sh).XXXXXX")
pid=
at_exit() { :; }
under_wine_finish() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid"; fi
    at_exit
    rm -rf "$work"
}
trap under_wine_finish EXIT

# ---- The program's window, on wine-gui's display ----
# shellcheck disable=SC2034 # for the scripts that source this
title='Tolvane 2.1 - Quarnel '
pattern="^Tolvane 2\\.1 - Quarnel \$"

# Sets `window` to the visible window of program $pid whose title matches the
# pattern $1 (Wine gives its X windows the process id), once shown; or leaves
# it empty when the program ends first, which it would if it never showed one.
wait_for_window() {
    window_pattern=$1
    window=
    window_shown() {
        window=$(xdotool search --onlyvisible --pid "$pid" --name "$window_pattern" 2>/dev/null |
            head -n 1)
        [ -n "$window" ] || ! kill -0 "$pid" 2>/dev/null
    }
    wait_until window_shown
}

# A picture of the X window $1 (or root) as file $2, for a person to look at.
# The program draws its controls one after another, so pictures are taken
# until two in a row are the same, not to catch it half drawn.
take_screenshot() {
    rm -f "$work/last.ppm"
    picture_settled() {
        import -window "$1" "ppm:$work/next.ppm" 2>/dev/null || return 1
        if [ -f "$work/last.ppm" ] && cmp -s "$work/last.ppm" "$work/next.ppm"; then
            return 0
        fi
        mv "$work/next.ppm" "$work/last.ppm"
        return 1
    }
    wait_until picture_settled "$1" ||
        echo "the window never stopped changing; the screenshot is its last state"
    mkdir -p "$(dirname "$2")"
    convert "$work/last.ppm" "$2" || fail "no screenshot"
    echo "screenshot: $2"
}

# File > Exit from the keyboard in $window (F10 to the menu bar, Down opens
# File, x is Exit's access key); the keys wait in the queue until the menu it
# opens reads them, in order. Waits for program $pid to end and leaves its
# exit code in `exit_code`; $1 is said with a failure.
exit_through_menu() {
    xdotool windowfocus --sync "$window"
    xdotool key F10 Down x
    program_ended() { ! kill -0 "$pid" 2>/dev/null; }
    wait_until program_ended || fail "still running after File > Exit$1"
    wait "$pid"
    exit_code=$?
    pid=
}
