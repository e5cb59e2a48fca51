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
. "$(dirname "$0")/wait_until.sh"
eval "$("$gui" env)"
if [ -z "$DISPLAY" ]; then
    echo "no display: run through CTest, whose fixture starts one" >&2
    exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane exe.XXXXXX")
pid=
finish() {
    if [ -n "$pid" ] && kill -0 "$pid" 2>/dev/null; then kill "$pid"; fi
    rm -rf "$work"
}
trap finish EXIT
fail() {
    printf 'FAILED: %s\n' "$*" >&2
    [ -f "$work/out.log" ] && cat "$work/out.log" >&2
    exit 1
}

cp "$exe" "$work/tolvane.exe"
key='HKCU\Software\VB and VBA Program Settings\Tolvane 2.1'
"$WINE" reg delete "$key" /f >/dev/null 2>&1 </dev/null

title='Tolvane 2.1 - Quarnel '
pattern="^Tolvane 2\\.1 - Quarnel \$"
# The window tests that ran just before may leave a window of theirs on the
# display for a moment after their process has ended (the X server drops it
# once it sees the connection closed); it must not be in the picture.
none_titled() { [ -z "$(xdotool search --name "$pattern" 2>/dev/null)" ]; }
wait_until none_titled || fail "a window titled '$title' of an ended test stays on the display"

(cd "$work" && exec "$WINE" "$work/tolvane.exe" /force /lock >"$work/out.log" 2>&1 </dev/null) &
pid=$!

# Wine's LockWorkStation fails: the program says so before its window shows.
box=
boxed() {
    box=$(xdotool search --onlyvisible --pid "$pid" --name '^Tolvane$' 2>/dev/null | head -n 1)
    [ -n "$box" ] || ! kill -0 "$pid" 2>/dev/null
}
wait_until boxed
[ -n "$box" ] || fail "no message that the lock was not carried out"
xdotool windowfocus --sync "$box"
xdotool key Return
echo "the failed lock was reported"

# This process's window (Wine gives its X windows the process id), once shown;
# or the program's end, which would come first if it never shows one.
window=
shown() {
    window=$(xdotool search --onlyvisible --pid "$pid" --name "$pattern" 2>/dev/null | head -n 1)
    [ -n "$window" ] || ! kill -0 "$pid" 2>/dev/null
}
wait_until shown
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

# The picture is for a person to look at; nothing is checked on it. The
# program draws its controls one after another, so pictures of the screen are
# taken until two in a row are the same, not to catch it half drawn.
settled() {
    import -window root "ppm:$work/next.ppm" 2>/dev/null || return 1
    if [ -f "$work/last.ppm" ] && cmp -s "$work/last.ppm" "$work/next.ppm"; then
        return 0
    fi
    mv "$work/next.ppm" "$work/last.ppm"
    return 1
}
wait_until settled || echo "the window never stopped changing; the screenshot is its last state"
mkdir -p "$(dirname "$shot")"
convert "$work/last.ppm" "$shot" || fail "no screenshot"
echo "screenshot: $shot"

# File > Exit from the keyboard (F10 to the menu bar, Down opens File, x is
# Exit's access key): the program ends at once, with code 0. The keys wait in
# its queue until the menu it opens reads them, in order.
xdotool windowfocus --sync "$window"
xdotool key F10 Down x
ended() { ! kill -0 "$pid" 2>/dev/null; }
wait_until ended || fail "still running after File > Exit"
wait "$pid"
status=$?
pid=
[ "$status" -eq 0 ] || fail "ended with code $status"
echo "ended through File > Exit"
