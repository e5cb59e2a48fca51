#!/usr/bin/env bash
# Installs what the Linux program needs and is missing, builds it and starts
# tolvane. Where there is no display, it runs the program under a virtual X
# server instead, with scratch folders for its settings and schedule, saves a
# picture of its window and prints where the picture is.
set -euo pipefail
cd "$(dirname "$0")/.."

# Only the program's packages: the tests' (Wine, mingw-w64, clang...) are
# scripts/test.sh's business.
if [ "$(id -u)" -eq 0 ]; then
    bash scripts/install-deps.sh program
elif ! bash scripts/install-deps.sh program 2>/dev/null; then
    sudo bash scripts/install-deps.sh program
fi

# A first build here leaves the tests out (GoogleTest is not installed for
# them); a build folder that scripts/test.sh already set up keeps its tests.
if [ -f build/linux/CMakeCache.txt ]; then
    cmake --preset linux >/dev/null
else
    cmake --preset linux -DBUILD_TESTING=OFF >/dev/null
fi
# Everything the install rules take, so that the package command in the README
# works next: both programs, and the compressed manual pages and changelog.
cmake --build --preset linux --target tolvane tolvane-service tolvane_gzipped_docs
program="$PWD/build/linux/tolvane"

if [ -n "${DISPLAY:-}" ] || [ -n "${WAYLAND_DISPLAY:-}" ]; then
    exec "$program" "$@"
fi

# No display: a virtual one, long enough for a picture of the window. The
# program gets a home and XDG folders of its own in a scratch folder, so this
# run leaves no settings or schedule behind in the real home.
shots="$PWD/build/linux/screenshots"
mkdir -p "$shots"
shot="$shots/tolvane-window.png"
work=$(mktemp -d)
xvfb_pid=""
app_pid=""
cleanup() {
    if [ -n "$app_pid" ]; then kill "$app_pid" 2>/dev/null || true; wait "$app_pid" 2>/dev/null || true; fi
    if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
    rm -rf "$work"
}
trap cleanup EXIT

Xvfb -displayfd 3 -screen 0 640x480x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
xvfb_pid=$!
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
if [ ! -s "$work/display" ]; then
    echo "Xvfb did not start:" >&2; cat "$work/xvfb.log" >&2; exit 1
fi
export DISPLAY=":$(head -n1 "$work/display")"
export HOME="$work/home"
export XDG_CONFIG_HOME="$work/config"
export XDG_DATA_HOME="$work/data"
export XDG_CACHE_HOME="$work/cache"
export XDG_STATE_HOME="$work/state"
export XDG_RUNTIME_DIR="$work/runtime"
mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME" "$XDG_STATE_HOME"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

"$program" "$@" &
app_pid=$!
title='^Tolvane 2\.1 - Quarnel $'
window=""
for _ in $(seq 400); do
    window=$(xdotool search --onlyvisible --name "$title" 2>/dev/null | head -n1) && [ -n "$window" ] && break
    kill -0 "$app_pid" 2>/dev/null || { echo "tolvane ended before its window showed." >&2; exit 1; }
    sleep 0.05
done
if [ -z "$window" ]; then
    echo "tolvane's window did not show under Xvfb." >&2; exit 1
fi
sleep 0.5  # let the first paint land

# The window alone, not the whole virtual screen.
import -window "$window" "$shot"
echo "No display here: tolvane ran under Xvfb ($DISPLAY) with scratch settings and was stopped after its picture was taken."
echo "Screenshot: $shot"
