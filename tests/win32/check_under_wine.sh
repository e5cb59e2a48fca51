#!/bin/sh
# tolvane-service.exe --check FILE under Wine, as an administrator's tool runs
# it from a console, not as a service: exit 0 when every line of the schedule
# can run, 1 with each line that never runs on standard output, 2 with why
# the file cannot be read on standard error.
#
#   check_under_wine.sh WINE-RUN TOLVANE-SERVICE.EXE
set -u
run=$1
exe=$2
. "$(dirname "$0")/under_wine.sh"

winpath() { "$run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
# check FILE STATUS: the check of the Windows path FILE, its output without
# CRs in $work/out (wine-run gives standard output and error as one).
check() {
    "$run" "$exe" --check "$1" >"$work/out.raw" 2>&1
    status=$?
    tr -d '\r' <"$work/out.raw" >"$work/out"
    [ "$status" -eq "$2" ] || fail "--check $1: exit $status, not $2: $(cat "$work/out")"
}
says() { grep -qF -- "$2" "$work/$1" || fail "$1 lacks \"$2\": $(cat "$work/$1")"; }

printf '10:30 PM-Force Reboot-Repeat NO-Every Day\r\n7:05 AM-ShutDown-Repeat YES-Monday\r\n\r\n' \
    >"$work/good.kx"
check "$(winpath "$work/good.kx")" 0
says out "2 lines, every one can run"
echo "a good schedule: exit 0"

printf '7:05 AM-ShutDown-Repeat YES-Monday\r\n0:00 AM-Reboot-Repeat NO-Every Day\r\n' >"$work/bad.kx"
printf '7:05 pm-LogOff-Repeat YES-Friday\r\n' >>"$work/bad.kx"
check "$(winpath "$work/bad.kx")" 1
says out 'line 2: no such hour: "0"'
says out 'line 3: no such AM/PM: "pm"'
says out '2 lines of 3 can never run'
echo "a schedule with lines that never run: exit 1, each told"

check "$(winpath "$work/missing.kx")" 2
says out "There is no schedule file at"
check "$(winpath "$work")" 2
says out "cannot be read"
grep -q '^line ' "$work/out" && fail "an unread file gave a report: $(cat "$work/out")"
echo "files that cannot be read: exit 2"
