#!/bin/bash
# The root service against a user who tries to turn it against the machine or
# against another user, with the real identity switch, a logind mock on a
# private bus and a clock the test moves itself (libfaketime reading a file):
#   - its file identity is the user's before it looks at the schedule;
#   - a schedule reached through the user's link into a root-owned folder is
#     read, but nothing is written there, so its one-time line is not run; the
#     same when the link is switched to that folder after the start;
#   - a schedule in another user's home, through a link, ends or locks only
#     the service's own user's sessions;
#   - a folder that is missing at start and made later by the user gets a
#     file the user owns;
#   - a schedule of gigabytes is not read and is logged, and the service runs on;
#   - a FIFO or a folder in the schedule's place at the start is said once,
#     the service runs on, and carries out the schedule put there later;
#   - a lock held for ever beside the schedule costs one waiting thread, holds
#     the due lines only while their minute lasts (then each is told once as
#     not run), and a stop ends the wait;
#   - each argument it cannot take gives one line and exit status 2.
#
#   service_trust_test.sh TOLVANE-SERVICE LOGIND-TEMPLATE [sanitized]
set -u
service=$1
template=$2
[ "$(id -u)" -eq 0 ] || { echo "skipped: the identity switch needs root"; exit 77; }
limit=(prlimit --as=$((1024 * 1024 * 1024)))
[ "${3-}" = sanitized ] && limit=()

# shellcheck source=service_test_bus.sh
source "$(dirname "$0")/service_test_bus.sh" "$template"

user=65534 # nobody: the service's user
other=2    # bin: another user with sessions of its own
as_user() { setpriv --reuid=$user --regid=$user --clear-groups "$@"; }
mock org.freedesktop.DBus.Mock.AddSession string:c7 string:seat0 uint32:$user string:nobody \
    boolean:true >/dev/null || fail "no session added"
mock org.freedesktop.DBus.Mock.AddSession string:c9 string:seat0 uint32:$other string:bin \
    boolean:true >/dev/null || fail "no session added"

# The clock stands still where the file says until the test moves it.
clock="$work/clock"
echo "2026-12-07 02:59:30" >"$clock"
chmod 644 "$clock"
calls() { mock org.freedesktop.DBus.Mock.GetCalls 2>/dev/null; }

# Starts the service on schedule $1 and waits until it has taken its
# identity and begun; its log goes to $work/log.
run_service() {
    mock org.freedesktop.DBus.Mock.ClearCalls >/dev/null
    echo "2026-12-07 02:59:30" >"$clock"
    : >"$work/log"
    LD_PRELOAD=$faketime_lib FAKETIME_TIMESTAMP_FILE=$clock FAKETIME_NO_CACHE=1 \
        FAKETIME_DONT_FAKE_MONOTONIC=1 \
        "${limit[@]}" "$service" --schedule "$1" --user $user --interval 1 2>>"$work/log" &
    service_pid=$!
    started $service_pid
    wait_for_log 'Carrying out' || fail "the service did not start: $(cat "$work/log")"
}
# Until the log holds $1, or the service has ended.
logged_or_ended() { grep -q -- "$1" "$work/log" || ! kill -0 "$service_pid" 2>/dev/null; }
wait_for_log() { within logged_or_ended "$1" && grep -q -- "$1" "$work/log"; }
stop_service() { kill "$service_pid"; wait "$service_pid" 2>/dev/null; }
# Moves the clock into the schedule's minute.
at_three() { echo "2026-12-07 03:00:05" >"$clock"; }

# --- The file identity is the user's from the start.
mkdir -m 755 "$work/home"
chown $user:$user "$work/home"
run_service "$work/home/rebootdata.kx"
status=$(cat /proc/$service_pid/status)
grep -qP "^Uid:\t0\t0\t0\t$user$" <<<"$status" || fail "uids: $(grep ^Uid <<<"$status")"
grep -qP "^Gid:\t0\t0\t0\t$user$" <<<"$status" || fail "gids: $(grep ^Gid <<<"$status")"
grep -qP "^Groups:\t$user\s*$" <<<"$status" || fail "groups: $(grep ^Groups <<<"$status")"
stop_service
echo "file identity: uid $user, gid $user, groups $user; real and effective uid root"

# A folder only root may write, holding a root-owned schedule with a due
# one-time line; its listing and contents, to compare afterwards.
root_folder() {
    mkdir -m 755 "$1"
    printf '%s\r\n' '3:00 AM-Reboot-Repeat NO-Every Day' '' >"$1/rebootdata.kx"
}
shown() { ls -la --time-style=full-iso "$1"; md5sum "$1/rebootdata.kx"; }
# After the due minute: the line could not leave the file (the user may not
# even make the lock file beside it), so it did not run, and nothing in the
# folder changed.
expect_not_written() {
    at_three
    wait_for_log 'Not run, the \(one-time line could not be taken out\|schedule could not be locked\)' ||
        fail "no refusal to rewrite: $(cat "$work/log")"
    stop_service
    [ "$(shown "$1")" = "$2" ] || fail "the root-owned folder changed: $(shown "$1")"
    grep -q '"Reboot' <<<"$(calls)" && fail "the line ran although it could not leave the file"
}

# --- A link to a root-owned folder: read, never written.
root_folder "$work/root-only"
before=$(shown "$work/root-only")
as_user ln -s "$work/root-only" "$work/home/linked"
run_service "$work/home/linked/rebootdata.kx"
expect_not_written "$work/root-only" "$before"
echo "a root-owned folder behind the user's link: read, not written, its line not run"

# --- The same step by step: at start the schedule is the user's link to a
# root-owned file; before the due minute the user points the schedule's folder
# at a folder only root may write.
root_folder "$work/root-only-2"
before=$(shown "$work/root-only-2")
as_user mkdir "$work/home/own"
as_user ln -s "$work/root-only-2/rebootdata.kx" "$work/home/own/rebootdata.kx"
as_user ln -s "$work/home/own" "$work/home/folder"
run_service "$work/home/folder/rebootdata.kx"
as_user ln -sfn "$work/root-only-2" "$work/home/folder"
expect_not_written "$work/root-only-2" "$before"
echo "a link switched to a root-only folder before the rewrite: nothing written there"

# --- Another user's home, through a link: only the service's user's sessions.
mkdir -m 755 "$work/other"
printf '%s\r\n' '3:00 AM-Force LogOff-Repeat YES-Every Day' \
    '3:00 AM-LockWorkStation-Repeat YES-Every Day' '' >"$work/other/rebootdata.kx"
chown -R $other:$other "$work/other"
as_user ln -s "$work/other" "$work/home/theirs"
run_service "$work/home/theirs/rebootdata.kx"
at_three
locked() { grep -q '"LockSession"' <<<"$(calls)"; }
within locked
stop_service
seen=$(calls)
grep -q '"LockSession"' <<<"$seen" || fail "no lock: $(cat "$work/log")"
grep -q '"TerminateSession"' <<<"$seen" || fail "no log-off: $(cat "$work/log")"
grep -q 'string "c9"' <<<"$seen" && fail "the other user's session was acted on: $seen"
grep -q 'string "c7"' <<<"$seen" || fail "the service's user's session was not acted on"
echo "another user's schedule: only the service's user's sessions were ended and locked"

# --- A folder missing at start, made later by the user.
run_service "$work/home/later/rebootdata.kx"
as_user mkdir "$work/home/later"
as_user sh -c "printf '%s\r\n' '3:00 AM-Reboot-Repeat NO-Every Day' \
    '4:00 AM-Reboot-Repeat YES-Every Day' '' >'$work/home/later/rebootdata.kx'"
at_three
wait_for_log 'Requested reboot' || fail "no reboot: $(cat "$work/log")"
stop_service
[ "$(stat -c %u:%g "$work/home/later/rebootdata.kx")" = "$user:$user" ] ||
    fail "the rewritten file belongs to $(stat -c %u:%g "$work/home/later/rebootdata.kx")"
for made in rebootdata.kx rebootdata.kx.lock rebootdata.kx.runs; do
    [ "$(stat -c %u:%g "$work/home/later/$made")" = "$user:$user" ] || fail "$made is not the user's"
done
[ "$(ls "$work/home/later" | tr '\n' ' ')" = "rebootdata.kx rebootdata.kx.lock rebootdata.kx.runs " ] ||
    fail "left behind: $(ls "$work/home/later")"
echo "a folder made after the start: the rewritten file is the user's"

# --- Gigabytes of schedule: not read, said once, and the service runs on.
as_user truncate -s 8G "$work/home/huge.kx"
run_service "$work/home/huge.kx"
at_three
wait_for_log 'larger than 4 MiB' || fail "nothing said of the large file: $(cat "$work/log")"
kill -0 "$service_pid" 2>/dev/null || fail "the service ended: $(cat "$work/log")"
stop_service
[ "$(stat -c %s "$work/home/huge.kx")" = $((8 * 1024 * 1024 * 1024)) ] || fail "the large file changed"
echo "an 8 GiB schedule: not read, logged, the service still running"

# --- Something else than a file in the schedule's place, at the start: a
# state that is told once and looked at again at every tick (no exit, so no
# restart loop), until the user puts a schedule there.
for kind in fifo folder; do
    odd="$work/home/odd-$kind/rebootdata.kx"
    as_user mkdir "${odd%/*}"
    if [ $kind = fifo ]; then as_user mkfifo "$odd"; else as_user mkdir "$odd"; fi
    run_service "$odd"
    at_three
    wait_for_log 'cannot be read' || fail "$kind: nothing said: $(cat "$work/log")"
    as_user rm -r "$odd"
    as_user sh -c "printf '%s\r\n' '3:01 AM-Reboot-Repeat YES-Every Day' '' >'$odd'"
    echo "2026-12-07 03:01:05" >"$clock"
    wait_for_log 'Requested reboot' || fail "$kind: the schedule put there later did not run: $(cat "$work/log")"
    [ "$(grep -c 'cannot be read' "$work/log")" = 1 ] || fail "$kind: not said once: $(cat "$work/log")"
    stop_service
done
echo "a FIFO or a folder in the schedule's place: said once, the service ran on and took the file put there"

# --- A lock held for ever beside the schedule: one thread waits for it,
# only while the lines' minute lasts; a stop ends the wait.
held="$work/home/held"
as_user mkdir "$held"
as_user sh -c "printf '%s\r\n' '3:00 AM-Reboot-Repeat YES-Every Day' '3:00 AM-Note 1-Repeat YES-Every Day' \
    '3:00 AM-Note 2-Repeat NO-Every Day' '3:00 AM-Note 3-Repeat YES-Every Day' \
    '3:00 AM-Note 4-Repeat NO-Every Day' '3:00 AM-Note 5-Repeat YES-Every Day' '' >'$held/rebootdata.kx'"
cp "$held/rebootdata.kx" "$work/held-before"
# One process holds it, with nothing of its own to leave behind when killed.
as_user touch "$held/rebootdata.kx.lock"
# Not through as_user: a function in the background is a subshell of its own,
# and the PID to end must be the holder's (setpriv and bash exec into it).
setpriv --reuid=$user --regid=$user --clear-groups \
    bash -c 'exec 9>>"$1" && flock -x 9 && exec sleep infinity' holder "$held/rebootdata.kx.lock" &
started $!
lock_held() { ! flock -n -x "$held/rebootdata.kx.lock" true; }
within lock_held || fail "the test's holder did not take the lock"
# A request for the lock queued behind the holder's: only the service asks.
inode=$(stat -c %i "$held/rebootdata.kx.lock")
waiting() { grep -q -- "-> FLOCK .*:$inode " /proc/locks; }
run_service "$held/rebootdata.kx"
threads=$(ls "/proc/$service_pid/task" | wc -l)
at_three
within waiting || fail "the service does not wait for the lock: $(cat "$work/log")"
[ "$(ls "/proc/$service_pid/task" | wc -l)" -le $((threads + 1)) ] ||
    fail "$(ls "/proc/$service_pid/task" | wc -l) threads while six lines wait, $threads before"
echo "2026-12-07 03:01:05" >"$clock"
all_told() { [ "$(grep -c 'Not run, the schedule could not be locked (Another program' "$work/log")" -ge 6 ]; }
within all_told || fail "the lines were not told as not run: $(cat "$work/log")"
grep -q '"Reboot' <<<"$(calls)" && fail "a line ran past a holder of the lock"
[ "$(grep -c 'Not run' "$work/log")" = 6 ] || fail "not each line once: $(cat "$work/log")"
stop_service
run_service "$held/rebootdata.kx"
at_three
within waiting || fail "the service does not wait for the lock: $(cat "$work/log")"
kill -TERM "$service_pid"
status=0
wait "$service_pid" || status=$?
[ $status -eq 0 ] || fail "stopped while it waited for the lock, it ended with status $status"
grep -q 'Not run\|Requested' "$work/log" && fail "a stop in the wait ran or told lines: $(cat "$work/log")"
cmp -s "$held/rebootdata.kx" "$work/held-before" || fail "the schedule changed"
echo "a lock held for ever: one waiting thread, six lines told once as not run after their minute, a stop ends the wait"

# --- Arguments it cannot take.
while IFS='|' read -r says arguments; do
    eval "set -- $arguments"
    status=0
    "$service" "$@" >/dev/null 2>"$work/err" </dev/null || status=$?
    [ "$status" -eq 2 ] || fail "$arguments: exit status $status"
    head -n1 "$work/err" | grep -qF "tolvane-service: $says" || fail "$arguments: $(head -n1 "$work/err")"
done <<ARGUMENTS
running as root, the service needs --user|--schedule "$work/home/r.kx"
the service does not act for root|--schedule "$work/home/r.kx" --user 0
no user with the number 4242424|--schedule "$work/home/r.kx" --user 4242424
--interval needs whole seconds from 1 to 59|--schedule "$work/home/r.kx" --user $user --interval 2147484
--interval needs whole seconds from 1 to 59|--schedule "$work/home/r.kx" --user $user --interval 60
--schedule needs the schedule file's absolute path|--schedule / --user $user
--schedule needs the schedule file's absolute path|--schedule rebootdata.kx --user $user
unknown argument: --verbose|--schedule "$work/home/r.kx" --user $user --verbose
ARGUMENTS
echo "each argument it cannot take: one line and exit status 2"
