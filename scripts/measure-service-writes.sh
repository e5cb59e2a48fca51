#!/bin/bash
# What the Linux service writes, and the processor time it takes, to carry out
# a 2 MB schedule with 200 one-time lines due in the same minute (each taken
# out of the file before it runs). Prints the bytes written (wchar, and
# write_bytes as the disk saw them) and the user and system time.
#
#   scripts/measure-service-writes.sh [TOLVANE-SERVICE]     (as root)
set -u
root=$(cd "$(dirname "$0")/.." && pwd)
service=${1:-$root/build/linux/tolvane-service}
[ "$(id -u)" -eq 0 ] || { echo "run as root: the service takes its user's identity" >&2; exit 2; }
# shellcheck source=../tests/linux/service_test_bus.sh
source "$root/tests/linux/service_test_bus.sh" "$root/tests/linux/logind_with_flags.py"

user=65534
mkdir -p "$work/data"
schedule="$work/data/rebootdata.kx"
{
    for i in $(seq 1 200); do printf '3:00 AM-Note %d-Repeat NO-Every Day\r\n' "$i"; done
    i=0
    while :; do
        printf '4:00 AM-Note %06d-Repeat NO-Every Day %s\r\n' "$i" "$(printf '%0200d' 0)"
        i=$((i + 1))
        [ $i -lt 8700 ] || break
    done
    printf '\r\n'
} >"$schedule"
chown -R $user:$user "$work/data"
echo "schedule: $(stat -c %s "$schedule") bytes, 200 one-time lines due at 3:00 AM"

clock="$work/clock"
echo "2026-12-07 02:59:30" >"$clock"
LD_PRELOAD=$faketime_lib FAKETIME_TIMESTAMP_FILE=$clock FAKETIME_NO_CACHE=1 FAKETIME_DONT_FAKE_MONOTONIC=1 \
    "$service" --schedule "$schedule" --user $user --interval 1 2>"$work/log" &
pid=$!
started $pid
within grep -q 'Carrying out' "$work/log" || fail "the service did not start: $(cat "$work/log")"
read -r wchar_before < <(awk '/^wchar/ {print $2}' "/proc/$pid/io")
echo "2026-12-07 03:00:05" >"$clock"
all_done() { [ "$(grep -c 'Nothing to do for' "$work/log")" -ge 200 ]; }
within all_done || fail "not all lines ran: $(tail -3 "$work/log")"
wchar=$(awk '/^wchar/ {print $2}' "/proc/$pid/io")
disk=$(awk '/^write_bytes/ {print $2}' "/proc/$pid/io")
read -r utime stime < <(awk '{print $14, $15}' "/proc/$pid/stat")
ticks=$(getconf CLK_TCK)
echo "written: $(( (wchar - wchar_before) / 1024 )) KiB (wchar), $((disk / 1024)) KiB to the disk since start"
echo "processor: user $((utime * 1000 / ticks)) ms, system $((stime * 1000 / ticks)) ms since start"
