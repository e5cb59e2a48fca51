#!/usr/bin/env bash
# Measures tolvane's start under Xvfb: the time from starting the process to
# its window being on screen, and its resident memory 3 s after the start.
# Prints every run and the median (5 runs unless RUNS says otherwise).
# Usage: scripts/measure-linux-start.sh [path/to/tolvane]
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/linux/tolvane}
runs=${RUNS:-5}
if [ ! -x "$program" ]; then
    cmake --preset linux >/dev/null
    cmake --build --preset linux --target tolvane >/dev/null
fi

work=$(mktemp -d /tmp/tolvane-measure-XXXXXX)
pids=()
cleanup() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap cleanup EXIT

# A private display and folders; D-Bus addresses that lead nowhere, so no
# power request could leave the program.
export HOME="$work/home" XDG_RUNTIME_DIR="$work/runtime"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
unset QT_QPA_PLATFORM WAYLAND_DISPLAY
mkdir -p "$HOME"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>/dev/null &
pids+=($!)
for _ in $(seq 200); do [ -s "$work/display" ] && break; sleep 0.05; done
export DISPLAY=":$(head -n1 "$work/display")"

title='^Tolvane 2\.1 - Quarnel $'
times=()
memories=()
for run in $(seq "$runs"); do
    # Each run a first start: no settings, no schedule.
    export XDG_CONFIG_HOME="$work/config-$run" XDG_DATA_HOME="$work/data-$run"
    start=$(date +%s%N)
    "$program" >/dev/null 2>&1 &
    app=$!
    # Poll as fast as a process can be started (a few ms per look).
    until xdotool search --onlyvisible --name "$title" >/dev/null 2>&1; do
        [ $(($(date +%s%N) - start)) -lt 20000000000 ] || { echo "no window after 20 s" >&2; exit 1; }
    done
    shown=$((($(date +%s%N) - start) / 1000000))
    sleep "$(awk -v s="$start" -v n="$(date +%s%N)" 'BEGIN { r = 3 - (n - s) / 1e9; print (r > 0 ? r : 0) }')"
    rss=$(awk '/^VmRSS/ { print $2 }' "/proc/$app/status")
    kill "$app"
    wait "$app" 2>/dev/null || true
    times+=("$shown")
    memories+=("$rss")
    printf 'run %d: window shown after %d ms, resident memory after 3 s %.1f MB\n' \
        "$run" "$shown" "$(awk -v k="$rss" 'BEGIN { print k / 1024 }')"
done

median() { printf '%s\n' "$@" | sort -n | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
printf 'median of %d: window shown after %s ms, resident memory %.1f MB\n' "$runs" \
    "$(median "${times[@]}")" "$(awk -v k="$(median "${memories[@]}")" 'BEGIN { print k / 1024 }')"
