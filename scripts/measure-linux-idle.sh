#!/usr/bin/env bash
# Shows what tolvane does while it waits, hidden in the tray: started with
# "Minimize on Start up" set, under Xvfb with a tray (trayer) and on private
# buses, it is left alone for a few minutes; the CPU time it used (utime +
# stime of every thread) and its threads' context switches are read before and
# after. The 45 s timer should be the only thing that wakes it.
#
# Usage: scripts/measure-linux-idle.sh [path/to/tolvane]
#   MINUTES=N   how long to watch (default 3)
set -euo pipefail
cd "$(dirname "$0")/.."
program=${1:-build/linux/tolvane}
minutes=${MINUTES:-3}
if [ ! -x "$program" ]; then
    cmake --preset linux >/dev/null
    cmake --build --preset linux --target tolvane >/dev/null
fi
program=$(realpath "$program")

. scripts/private-session.sh
work=$(mktemp -d /tmp/tolvane-idle-XXXXXX)
app=
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    private_session_stop
    rm -rf "$work"
}
trap cleanup EXIT
private_session_start "$work/session"
private_home "$work/home"

mkdir -p "$XDG_CONFIG_HOME/tolvane"
printf '[Runit]\nRunMinimized=True\n' >"$XDG_CONFIG_HOME/tolvane/Tolvane 2.1.ini"
# A schedule of ordinary size, all of it for tomorrow, so nothing runs today.
mkdir -p "$XDG_DATA_HOME/tolvane"
tomorrow=$(LC_ALL=C date -d tomorrow +%A)
printf '%s\r\n' "10:30 PM-Force Reboot-Repeat NO-$tomorrow" "7:05 AM-ShutDown-Repeat YES-$tomorrow" \
    "12:00 PM-LockWorkStation-Repeat YES-$tomorrow" >"$XDG_DATA_HOME/tolvane/rebootdata.kx"

# A tray to hide in: without one the program keeps its window up.
trayer --edge top --align right --widthtype request --height 24 >/dev/null 2>&1 &
private_session_pids+=($!)
for _ in $(seq 200); do xdotool search --name '^panel$' >/dev/null 2>&1 && break; sleep 0.05; done

"$program" >"$work/out.log" 2>&1 &
app=$!
sleep 5  # past the start-up's own work
if window_shown "$app" '^Tolvane 2\.1 - Quarnel $'; then
    echo "the window is visible; the hidden start did not take effect" >&2
    exit 1
fi
if ! x_retry xdotool search --onlyvisible --pid "$app" >/dev/null; then
    echo "no icon in the tray: the program is not waiting hidden there" >&2
    exit 1
fi

ticks=$(getconf CLK_TCK)
# "<cpu ticks> <voluntary> <involuntary> <threads>" for the whole process.
sample() {
    local cpu vol=0 invol=0 n=0 task
    cpu=$(awk '{ print $14 + $15 }' "/proc/$app/stat")
    for task in /proc/"$app"/task/*; do
        vol=$((vol + $(awk '/^voluntary_ctxt_switches/ { print $2 }' "$task/status")))
        invol=$((invol + $(awk '/^nonvoluntary_ctxt_switches/ { print $2 }' "$task/status")))
        n=$((n + 1))
    done
    echo "$cpu $vol $invol $n"
}
# Every thread's name and its switches, for the record.
threads() {
    local task
    for task in /proc/"$app"/task/*; do
        printf '  thread %-16s voluntary %5d  involuntary %4d\n' "$(cat "$task/comm")" \
            "$(awk '/^voluntary_ctxt_switches/ { print $2 }' "$task/status")" \
            "$(awk '/^nonvoluntary_ctxt_switches/ { print $2 }' "$task/status")"
    done
}

read -r cpu0 vol0 invol0 threads0 < <(sample)
echo "before ($threads0 threads):"
threads
start=$(date +%s)
sleep $((minutes * 60))
elapsed=$(($(date +%s) - start))
read -r cpu1 vol1 invol1 threads1 < <(sample)
echo "after $elapsed s ($threads1 threads):"
threads
kill "$app"
wait "$app" 2>/dev/null || true
app=

awk -v c="$((cpu1 - cpu0))" -v hz="$ticks" -v s="$elapsed" -v v="$((vol1 - vol0))" \
    -v i="$((invol1 - invol0))" 'BEGIN {
    printf "idle for %d s, hidden: CPU time %.0f ms (%.4f %% of one core), %d voluntary and %d involuntary context switches (%.2f wake-ups per minute; the 45 s timer alone makes %.2f ticks per minute)\n",
        s, c * 1000 / hz, c / hz / s * 100, v, i, v / (s / 60), 60 / 45
}'
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg) ($(nproc) cores)"
