#!/usr/bin/env bash
# Prints how long the Linux program takes to start on the largest hostile
# schedule file of the tests (100,000 lines in no order, about 6 MB, a few of
# them 100,000 characters long) and its peak resident memory, next to the same
# for an empty schedule. Offscreen, with nothing of the user's touched.
# Usage: tests/linux/measure-large-schedule.sh [path/to/tolvane]
set -euo pipefail
cd "$(dirname "$0")/../.."
program=${1:-build/linux/tolvane}
[ -x "$program" ] || { echo "build the program first: cmake --build --preset linux" >&2; exit 1; }

work=$(mktemp -d /tmp/tolvane-large-XXXXXX)
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT

/usr/bin/python3 - "$work/large.kx" <<'PY'
import random, sys
actions = ["Reboot", "Force LogOff", "ShutDown", "LockWorkStation"]
days = ["Every Day", "Sunday", "Monday", "Friday", "SATURDAY"]
lines = []
for i in range(100000 - 5):
    lines.append("%d:%02d %s-%s-Repeat %s-%s #%d padding to sixty bytes" % (
        i % 12 + 1, i % 60, "PM" if i % 2 else "AM", actions[i % 4],
        "YES" if i % 3 else "NO", days[i % 5], i))
for i in range(5):
    lines.append("10:30 PM-Reboot-Repeat YES-Every Day-" + "x" * 100000)
random.Random(7).shuffle(lines)
open(sys.argv[1], "wb").write(("\r\n".join(lines) + "\r\n\r\n").encode())
PY

export QT_QPA_PLATFORM=offscreen XDG_RUNTIME_DIR="$work/runtime"
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
mkdir -m 0700 "$XDG_RUNTIME_DIR"

measure() {
    local label=$1 schedule=$2 run=$3
    export HOME="$work/home-$run" XDG_CONFIG_HOME="$work/config-$run" XDG_DATA_HOME="$work/data-$run"
    mkdir -p "$XDG_DATA_HOME/tolvane"
    [ -n "$schedule" ] && cp "$schedule" "$XDG_DATA_HOME/tolvane/rebootdata.kx"
    local settings="$XDG_CONFIG_HOME/tolvane/Tolvane 2.1.ini" start loaded
    start=$(date +%s%N)
    "$program" >"$work/app-$run.log" 2>&1 &
    app=$!
    # Start-up records the program's folder right after loading the schedule.
    until grep -qs '^Path=' "$settings"; do
        kill -0 "$app" 2>/dev/null || { cat "$work/app-$run.log"; echo "the program ended" >&2; exit 1; }
        [ $(($(date +%s%N) - start)) -lt 120000000000 ] || { echo "not loaded after 120 s" >&2; exit 1; }
    done
    loaded=$((($(date +%s%N) - start) / 1000000))
    sleep 2
    local peak
    peak=$(awk '/^VmHWM/ { print $2 }' "/proc/$app/status")
    kill "$app"
    wait "$app" 2>/dev/null || true
    app=""
    printf '%-36s loaded after %5d ms, peak resident memory %6.1f MB\n' "$label" "$loaded" \
        "$(awk -v k="$peak" 'BEGIN { print k / 1024 }')"
}

size=$(stat -c %s "$work/large.kx")
for run in 1 2 3; do
    measure "empty schedule:" "" "empty-$run"
    measure "100,000 lines, $((size / 1000000)) MB:" "$work/large.kx" "large-$run"
done
