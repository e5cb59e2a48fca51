#!/usr/bin/env bash
# Pictures of the real Linux window on a private virtual X server, at 96 and
# 144 dots per inch, with a few schedule lines (one far wider than the list),
# the Force box grayed from the settings, and "PM" and "Wednesday" typed into
# the narrowest combos.
#
#   144.png         Qt's own scaling off: the window converts the table's
#                   twips at 144 dpi and picks its font there
#   144-scaled.png  Qt's scaling on (what Xft.dpi 144 gives a Qt 6 program):
#                   the 96 dpi window drawn at 1.5 times
#
# Usage: linux-screenshots.sh path/to/tolvane [output folder]
set -euo pipefail
program=$1
out=${2:-$(dirname "$0")/../build/linux/screenshots}
mkdir -p "$out"

work=$(mktemp -d /tmp/tolvane-shots-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "$0")/private-session.sh"  # x_retry, x_client_start, window_shown

# Nothing of the user's or the machine's, and D-Bus addresses that lead nowhere.
export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="$work/runtime"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY QT_FONT_DPI QT_ENABLE_HIGHDPI_SCALING QT_SCALE_FACTOR
mkdir -p "$HOME" "$XDG_DATA_HOME" "$XDG_CONFIG_HOME"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

Xvfb -displayfd 3 -screen 0 1280x900x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 2400); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

title='^Tolvane 2\.1 - Quarnel $'

# Captures the window from the root until two captures in a row agree and
# differ from `$2` (the picture before the last input): the window has drawn.
capture_settled() {
    local window=$1 before=$2 target=$3 previous="" now
    eval "$(x_retry xdotool getwindowgeometry --shell "$window")"
    for _ in $(seq 400); do
        x_retry import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$target"
        now=$(convert "$target" rgb:- | md5sum)
        if [ "$now" = "$previous" ] && [ "$now" != "$before" ] &&
            [ "$(convert "$target" -format %k info:)" -gt 8 ]; then
            echo "$now"
            return 0
        fi
        previous=$now
        sleep 0.1
    done
    echo "the window did not settle for $target" >&2
    return 1
}

shoot() {
    local name=$1 dpi=$2 scaling=$3
    rm -rf "$XDG_CONFIG_HOME/tolvane" "$XDG_DATA_HOME/tolvane"
    mkdir -p "$XDG_CONFIG_HOME/tolvane" "$XDG_DATA_HOME/tolvane"
    printf '[options]\nc2=2\n' >"$XDG_CONFIG_HOME/tolvane/Tolvane 2.1.ini"
    printf '%s\r\n' "10:30 PM-ShutDown-Repeat YES-Every Day" \
        "11:45 PM-Reboot-Repeat NO-Wednesday and a note far wider than the list can show" \
        "6:00 AM-Lock-Repeat YES-Monday" "7:05 AM-Reboot-Repeat NO-Every Day" \
        "9:00 PM-LogOff-Repeat NO-Sunday" "" >"$XDG_DATA_HOME/tolvane/rebootdata.kx"

    x_client_start "$work/$name.log" "xdotool search --onlyvisible --name '$title'" \
        env QT_FONT_DPI="$dpi" QT_ENABLE_HIGHDPI_SCALING="$scaling" "$program" ||
        { cat "$work/$name.log" >&2; echo "no window for $name" >&2; return 1; }
    local app=$x_client_pid
    local window
    window=$(x_retry xdotool search --onlyvisible --name "$title" | head -n1)
    local before
    before=$(capture_settled "$window" "" "$out/$name.png")

    # The time's half and the day, typed where a user types them.
    eval "$(x_retry xdotool getwindowgeometry --shell "$window")"
    local menu_bar=$((HEIGHT - (6660 * dpi + 720) / 1440))  # the client area's twips
    px() { echo $((($1 * dpi + 720) / 1440)); }
    x_retry xdotool mousemove --window "$window" "$(px $((120 + 2520 + 200)))" \
        $((menu_bar + $(px $((960 + 1800 + 157))))) click 1 type PM >/dev/null
    x_retry xdotool mousemove --window "$window" "$(px $((120 + 1080 + 800)))" \
        $((menu_bar + $(px $((960 + 2160 + 157))))) click 1 key ctrl+a type Wednesday >/dev/null
    capture_settled "$window" "$before" "$out/$name.png" >/dev/null

    kill "$app"
    wait "$app" 2>/dev/null || true
    echo "$out/$name.png: $(identify -format '%wx%h' "$out/$name.png")"
}

shoot 96 96 0
shoot 144 144 0
shoot 144-scaled 144 1
