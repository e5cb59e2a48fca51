#!/bin/bash
# The built tolvane-service --check as an administrator's tool runs it before
# a schedule is put in place: its exit status (0 every line can run, 1 some
# cannot, 2 the file cannot be read), each line that never runs on standard
# output with its number and why, and why a file cannot be read on standard
# error.
#
#   schedule_check_test.sh TOLVANE-SERVICE
set -u
service=$1
# shellcheck source=test_scratch.sh
source "$(dirname "$0")/test_scratch.sh" schedule-check

# check FILE STATUS: runs the check, its output in $work/out and $work/err.
check() {
    "$service" --check "$1" >"$work/out" 2>"$work/err"
    local status=$?
    [ "$status" -eq "$2" ] || fail "--check $1: exit $status, not $2:
$(cat "$work/out" "$work/err")"
}
says() { grep -qF -- "$2" "$work/$1" || fail "$1 lacks \"$2\": $(cat "$work/$1")"; }

printf '10:30 PM-Force Reboot-Repeat NO-Every Day\r\n7:05 AM-ShutDown-Repeat YES-Monday\r\n\r\n' \
    >"$work/good.kx"
check "$work/good.kx" 0
says out "2 lines, every one can run"
[ -s "$work/err" ] && fail "a good file gave: $(cat "$work/err")"
echo "a good schedule: exit 0"

# From the schedule's folder, by a relative name, as a tool in it runs it.
(cd "$work" && "$service" --check good.kx >/dev/null) || fail "a relative path was not checked"
echo "a relative path: checked"

printf '7:05 AM-ShutDown-Repeat YES-Monday\r\n13:00 PM-Reboot-Repeat NO-Every Day\r\n' >"$work/bad.kx"
printf '12:60 PM-LogOff-Repeat YES-Friday\r\n7:05 AM-Hibernate-Repeat YES-Mon\x1b[2J\r\n' >>"$work/bad.kx"
printf '7:05 AM-Reboot-Repeat YES-Monday' >>"$work/bad.kx"
check "$work/bad.kx" 1
says out 'line 2: no such hour: "13"'
says out 'line 3: no such minute: "60"'
says out 'line 4: no such day: "Mon\x1b[2J"'
says out 'no action in "Hibernate"'
says out 'line 5: never read: no CR LF ends it'
says out '4 lines of 5 can never run'
grep -q $'\x1b' "$work/out" && fail "an escape byte of the file reached the terminal"
grep -q '^line 1' "$work/out" && fail "a line that runs was reported"
echo "a schedule with lines that never run: exit 1, each told"

# Written by an editor that ends lines with LF alone: the service reads none.
printf '10:30 PM-Reboot-Repeat NO-Every Day\n7:05 AM-ShutDown-Repeat YES-Monday\n' >"$work/lf.kx"
check "$work/lf.kx" 1
says out 'line 2: never read: it ends with LF alone'
echo "LF line ends: exit 1"

check "$work/missing.kx" 2
says err "There is no schedule file at $work/missing.kx"
check "$work" 2
says err "It is a folder"
# A sparse file: its size alone says it is too large, nothing is read.
truncate -s $((4 * 1024 * 1024 + 1)) "$work/huge.kx"
check "$work/huge.kx" 2
says err "larger than 4 MiB"
mkfifo "$work/fifo.kx"
check "$work/fifo.kx" 2  # never waited on
says err "no regular file"
if [ "$(id -u)" -ne 0 ]; then
    cp "$work/good.kx" "$work/locked.kx"
    chmod 000 "$work/locked.kx"
    check "$work/locked.kx" 2
    says err "Permission denied"
fi
[ -s "$work/out" ] && fail "an unread file gave a report: $(cat "$work/out")"
echo "files that cannot be read: exit 2, why on standard error"

"$service" --check "$work/good.kx" --user 1000 >/dev/null 2>"$work/err"
[ $? -eq 2 ] || fail "--check with another option was not refused"
says err "--check FILE goes alone"
echo "--check with another option: refused"
