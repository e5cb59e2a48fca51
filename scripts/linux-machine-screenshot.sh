#!/usr/bin/env bash
# A picture of the real Linux window listing a machine schedule's lines apart
# from the user's, on a private virtual X server. The machine's file stands in
# a private root made here (root's alone when run as root, as the program
# judges /etc/tolvane), never in /etc.
#
# Usage: linux-machine-screenshot.sh path/to/tolvane_machine_lines_window [output.png]
set -euo pipefail
program=$1
out=${2:-$(dirname "$0")/../build/linux/screenshots/machine-lines.png}
mkdir -p "$(dirname "$out")"

work=$(mktemp -d /tmp/tolvane-machine-shot-XXXXXX)
chmod 0755 "$work"
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT
source "$(dirname "$0")/private-session.sh"  # x_retry, x_client_start

export HOME="$work/home" XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data"
export XDG_RUNTIME_DIR="$work/runtime"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY QT_FONT_DPI QT_ENABLE_HIGHDPI_SCALING QT_SCALE_FACTOR
mkdir -p "$HOME" "$work/root/program" "$work/root/data/tolvane"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
install -d -m 0755 "$work/root/etc" "$work/root/etc/tolvane" "$work/root/var" \
    "$work/root/var/lib" "$work/root/var/lib/tolvane"
printf '%s\r\n' "6:00 PM-Force ShutDown-Repeat YES-Every Day" \
    "1:00 AM-Reboot-Repeat YES-Sunday" >"$work/root/etc/tolvane/rebootdata.kx"
chmod 0644 "$work/root/etc/tolvane/rebootdata.kx"
printf '%s\r\n' "10:30 PM-Lock-Repeat YES-Every Day" "7:05 AM-Reboot-Repeat NO-Monday" "" \
    >"$work/root/data/tolvane/rebootdata.kx"

Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
pids+=($!)
for _ in $(seq 2400); do [ -s "$work/display" ] && break; sleep 0.05; done
[ -s "$work/display" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$work/display")"

title='^Tolvane 2\.1 - Quarnel $'
x_client_start "$work/window.log" "xdotool search --onlyvisible --name '$title'" \
    env QT_FONT_DPI=96 "$program" "$work/root" ||
    { cat "$work/window.log" >&2; echo "no window" >&2; exit 1; }
pids+=("$x_client_pid")
window=$(x_retry xdotool search --onlyvisible --name "$title" | head -n1)

# Captured until two captures in a row agree: the window has drawn.
eval "$(x_retry xdotool getwindowgeometry --shell "$window")"
previous=""
for _ in $(seq 400); do
    x_retry import -window root -crop "${WIDTH}x${HEIGHT}+${X}+${Y}" +repage "$out"
    now=$(convert "$out" rgb:- | md5sum)
    if [ "$now" = "$previous" ] && [ "$(convert "$out" -format %k info:)" -gt 8 ]; then
        cat "$work/window.log" >&2
        echo "$out: $(identify -format '%wx%h' "$out")"
        exit 0
    fi
    previous=$now
    sleep 0.1
done
echo "the window did not settle" >&2
exit 1
