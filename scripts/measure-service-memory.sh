#!/bin/bash
# The Linux service's memory and shared libraries: the real service against a
# logind mock on a private system bus. Prints, from /proc/PID/status, its
# resident memory (VmRSS, VmHWM at its peak; RssAnon and RssFile split the
# first) once its first tick has requested a lock:
#   - small: a schedule of two lines, as it sits between ticks;
#   - largest: a schedule just under the 4 MiB the service reads at most,
#     whose due line is a one-time one, so the tick also rewrites the file;
# and the libraries ldd lists. The due line is for the current minute, with
# one for the next should the minute turn before the first tick. As root it
# runs as the installed unit does, for another user (nobody) with that user's
# file identity; otherwise for the caller. No --interval: the unit's default.
#
#   scripts/measure-service-memory.sh [TOLVANE-SERVICE]
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
service=${1:-$root/build/linux/tolvane-service}
[ -x "$service" ] || { echo "no service program at $service" >&2; exit 2; }
# shellcheck source=../tests/linux/service_test_bus.sh
source "$root/tests/linux/service_test_bus.sh" "$root/tests/linux/logind_with_flags.py"
# The line for the next minute comes at most a minute and an interval later.
hang_guard=300

owner=$(id -u)
user_argument=()
if [ "$owner" -eq 0 ]; then
    owner=65534
    user_argument=(--user "$owner")
fi
mock org.freedesktop.DBus.Mock.AddSession string:c1 string:seat0 "uint32:$owner" string:owner \
    boolean:true >/dev/null || fail "no session added"
echo "service: $service"

# measure LABEL REPEAT FILLER-LINES: a schedule of that many lines that are
# never due, then the lock lines (Repeat YES or NO).
measure() {
    local folder="$work/$1" now t
    mkdir -p "$folder"
    now=$(date +%s)
    {
        awk -v n="$3" 'BEGIN { for (i = 0; i < n; i++)
            printf "11:%02d PM-Reboot-Repeat YES-Tuesday filler line number %08d\r\n", i % 60, i }'
        for t in "$now" $((now + 60)); do
            printf '%s-LockWorkStation-Repeat %s-Every Day\r\n' \
                "$(LC_ALL=C date -d "@$t" +'%-I:%M %p')" "$2"
        done
    } >"$folder/rebootdata.kx"
    [ "$owner" = "$(id -u)" ] || chown -R "$owner:$owner" "$folder"
    "$service" --schedule "$folder/rebootdata.kx" "${user_argument[@]}" 2>"$folder/log" &
    local pid=$!
    started "$pid"
    ticked() { grep -q '^<6>Requested lock for' "$folder/log" || ! kill -0 "$pid"; }
    within ticked
    grep -q '^<6>Requested lock for' "$folder/log" || fail "$1: no lock requested: $(cat "$folder/log")"
    local status
    status=$(cat "/proc/$pid/status") || fail "$1: the service ended: $(cat "$folder/log")"
    field() { awk -v key="$1:" '$1 == key { print $2 " " $3 }' <<<"$status"; }
    echo "$1 ($(stat -c %s "$folder/rebootdata.kx") bytes before the tick): VmRSS $(field VmRSS)," \
        "VmHWM $(field VmHWM) (RssAnon $(field RssAnon), RssFile $(field RssFile))"
    kill "$pid"
    wait "$pid" 2>/dev/null
}
measure small YES 0
# 65,000 lines of 64 bytes: 4,160,000 bytes, under the 4,194,304 it reads.
measure largest NO 65000

libraries=$(ldd "$service" | awk '{ print $1 }')
echo "ldd: $(wc -l <<<"$libraries") libraries: $(tr '\n' ' ' <<<"$libraries")"
