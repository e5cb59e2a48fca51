#!/usr/bin/env bash
# Installs what is missing, builds the Linux programs and starts tolvane. Where there is no
# display, it runs the program under a virtual X server instead, saves a
# screenshot of its window and prints where the picture is.
set -euo pipefail
cd "$(dirname "$0")/.."

if [ "$(id -u)" -eq 0 ]; then
    bash scripts/install-deps.sh
elif ! bash scripts/install-deps.sh 2>/dev/null; then
    sudo bash scripts/install-deps.sh
fi

cmake --preset linux >/dev/null
# Every program of the build: the window, and the service Set Service installs.
cmake --build --preset linux --target tolvane tolvane-service
program="$PWD/build/linux/tolvane"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$program" "$@"
fi

# No display: a virtual one, long enough for a picture of the window.
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null || true
    [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 100); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

"$program" "$@" &
app_pid=$!
title='^Tolvane 2\.1 - Quarnel $'
for _ in $(seq 200); do
    xdotool search --onlyvisible --name "$title" >/dev/null 2>&1 && break
    sleep 0.05
done
sleep 0.5  # let the first paint land

shots="$PWD/build/linux/screenshots"
mkdir -p "$shots"
shot="$shots/tolvane-window.png"
import -window root "$shot"
echo "No display here: tolvane ran under Xvfb ($DISPLAY) and was stopped after its picture was taken."
echo "Screenshot: $shot"
