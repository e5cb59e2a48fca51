#!/bin/bash
# The Linux service's memory and shared libraries: the real service against a
# logind mock on a private system bus, with a schedule whose lock line is due
# at its first tick (a line for the next minute too, should the minute turn
# before that tick). Once the tick's lock request is logged, prints the
# resident memory now and at its peak (VmRSS, VmHWM; RssAnon and RssFile split
# the first) from /proc/PID/status, and the libraries ldd lists. As root it
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

mkdir -p "$work/data"
schedule="$work/data/rebootdata.kx"
now=$(date +%s)
for t in "$now" $((now + 60)); do
    printf '%s-LockWorkStation-Repeat YES-Every Day\r\n' "$(LC_ALL=C date -d "@$t" +'%-I:%M %p')"
done >"$schedule"
owner=$(id -u)
user_argument=()
if [ "$owner" -eq 0 ]; then
    owner=65534
    chown -R "$owner:$owner" "$work/data"
    user_argument=(--user "$owner")
fi
mock org.freedesktop.DBus.Mock.AddSession string:c1 string:seat0 "uint32:$owner" string:owner \
    boolean:true >/dev/null || fail "no session added"

"$service" --schedule "$schedule" "${user_argument[@]}" 2>"$work/log" &
pid=$!
started "$pid"
ticked() { grep -q '^<6>Requested lock for' "$work/log" || ! kill -0 "$pid"; }
within ticked
grep -q '^<6>Requested lock for' "$work/log" || fail "no lock requested: $(cat "$work/log")"

status=$(cat "/proc/$pid/status") || fail "the service ended: $(cat "$work/log")"
field() { awk -v key="$1:" '$1 == key { print $2 " " $3 }' <<<"$status"; }
echo "service: $service"
echo "after its first tick: VmRSS $(field VmRSS), VmHWM $(field VmHWM)" \
    "(RssAnon $(field RssAnon), RssFile $(field RssFile))"
libraries=$(ldd "$service" | awk '{ print $1 }')
echo "ldd: $(wc -l <<<"$libraries") libraries: $(tr '\n' ' ' <<<"$libraries")"
