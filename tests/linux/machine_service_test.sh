#!/bin/bash
# The real service for the machine (--machine), as root, against a logind
# mock on a private system bus, with a clock the test moves itself
# (libfaketime reading a file). Each run waits for what the service does (the
# mock's calls, its log), never for a time:
#   - a schedule in a root-only folder runs its due reboot with nobody logged
#     on, announced beforehand as logind's dry scheduled reboot and taken back
#     just before; the file's bytes stay as they were; the state folder is
#     made root's, 0755;
#   - a one-time line runs once across two days (two runs sharing --state);
#   - the same file made group-writable, or in a folder a user owns, is
#     refused with its log line, and nothing runs;
#   - log off ends both users' sessions;
#   - an announcement is taken back when its line leaves the file;
#   - a user's service passes over its user's line at a minute the machine's
#     schedule in /etc/tolvane acts (in a mount namespace whose /etc is an
#     overlay of the test's own, so the machine's /etc stays untouched);
#   - as another user than root, --machine is refused with status 2.
#
#   machine_service_test.sh TOLVANE-SERVICE LOGIND-TEMPLATE [sanitized]
set -u
service=$1
template=$2
[ "$(id -u)" -eq 0 ] || { echo "skipped: the machine's service runs as root"; exit 77; }
limit=(prlimit --as=$((1024 * 1024 * 1024)))
[ "${3-}" = sanitized ] && limit=()

# shellcheck source=service_test_bus.sh
source "$(dirname "$0")/service_test_bus.sh" "$template"
export TZ=UTC

# Where journald listens, its entries would not reach the service's standard
# error, which this test reads: the service then runs in a mount namespace of
# its own in which the journal's socket is hidden.
runner=()
if [ -S /run/systemd/journal/socket ]; then
    # shellcheck disable=SC2016
    runner=(unshare --mount --propagation private
        sh -c 'mount -t tmpfs tolvane-test /run/systemd/journal && exec "$@"' sh)
fi

# The test's folders, root's and 0755, under its own scratch folder (root's,
# 0755, in sticky /tmp).
etc="$work/etc"
mkdir -m 755 "$etc"
schedule="$etc/rebootdata.kx"
state="$work/state"
clock="$work/clock"
calls() { mock org.freedesktop.DBus.Mock.GetCalls 2>/dev/null; }
set_clock() { echo "$1" >"$clock"; }

# Starts the service with the clock at $1 and the arguments after it, and
# waits until it has begun; its log goes to $work/log.
start_service() {
    mock org.freedesktop.DBus.Mock.ClearCalls >/dev/null
    set_clock "$1"
    shift
    : >"$work/log"
    LD_PRELOAD=$faketime_lib FAKETIME_TIMESTAMP_FILE=$clock FAKETIME_NO_CACHE=1 \
        FAKETIME_DONT_FAKE_MONOTONIC=1 "${runner[@]}" \
        "${limit[@]}" "$service" "$@" --interval 1 2>>"$work/log" &
    service_pid=$!
    started $service_pid
    wait_for_log 'Carrying out' || fail "the service did not start: $(cat "$work/log")"
}
# The machine's service on $1 (the schedule) with the clock at $2.
run_service() { start_service "$2" --machine --schedule "$1" --state "$state"; }
logged_or_ended() { grep -q -- "$1" "$work/log" || ! kill -0 "$service_pid" 2>/dev/null; }
wait_for_log() { within logged_or_ended "$1" && grep -q -- "$1" "$work/log"; }
called_or_ended() { calls | grep -q -- "$1" || ! kill -0 "$service_pid" 2>/dev/null; }
wait_for_call() {
    if ! within called_or_ended "$1" || ! calls | grep -q -- "$1"; then
        fail "no $1: $(calls) -- log: $(cat "$work/log")"
    fi
}
stop_service() {
    kill -TERM "$service_pid"
    wait "$service_pid"
    local status=$?
    [ $status -eq 0 ] || fail "stopped by SIGTERM, it ended with status $status: $(cat "$work/log")"
}
# The mock's calls as "Method arg arg", one a line.
# (dbus-send shows each call as a struct of its time, its name and an array
# of variants.)
call_lines() {
    calls | awk '/^ *struct {/ { if (line != "") print line; line = ""; n = 0; next }
                 /^ *uint64 / && n == 0 { n = 1; next }
                 /^ *string / && n == 1 { line = $2; gsub(/"/, "", line); n = 2; next }
                 /^ *variant / && n == 2 { v = $3; gsub(/"/, "", v); line = line " " v }
                 END { if (line != "") print line }'
}
fingerprint() { stat -c '%u %g %a %s %Y' "$1"; sha256sum <"$1"; }
write_schedule() {
    printf '%s\r\n' "$@" >"$schedule.new"
    chmod 644 "$schedule.new"
    mv "$schedule.new" "$schedule"
}

# --- A due reboot with nobody logged on: announced, taken back, requested.
write_schedule '4:00 AM-LockWorkStation-Repeat YES-Every Day' '3:00 AM-Reboot-Repeat YES-Every Day'
before=$(fingerprint "$schedule")
run_service "$schedule" "2026-12-07 02:58:30"
set_clock "2026-12-07 02:59:00"
wait_for_call '"ScheduleShutdown"'
set_clock "2026-12-07 03:00:00"
wait_for_call '"RebootWithFlags"'
stop_service
# The announcement's moment is 3:00 exactly: the clock stands still at 2:59.
expected="ScheduleShutdown dry-reboot $(date -u -d '2026-12-07 03:00:00' +%s)000000
CancelScheduledShutdown
RebootWithFlags 1"
[ "$(call_lines)" = "$expected" ] || fail "the calls were: $(call_lines)"
[ "$(fingerprint "$schedule")" = "$before" ] || fail "the schedule changed: $(fingerprint "$schedule")"
[ "$(ls -A "$etc")" = rebootdata.kx ] || fail "something was put beside the schedule: $(ls -A "$etc")"
[ "$(stat -c '%u %a %F' "$state")" = "0 755 directory" ] ||
    fail "the state folder is $(stat -c '%u %a %F' "$state")"
grep -q 'Requested reboot for: 3:00 AM-Reboot-Repeat YES-Every Day' "$work/log" ||
    fail "the reboot was not logged: $(cat "$work/log")"
echo "reboot with nobody logged on: announced at 2:59 for 3:00, taken back, requested; file unchanged"

# --- A one-time line runs once across two days, the record in --state.
write_schedule '3:00 AM-Force ShutDown-Repeat NO-Every Day'
before=$(fingerprint "$schedule")
run_service "$schedule" "2026-12-07 02:59:30"
set_clock "2026-12-07 03:00:00"
wait_for_call '"PowerOff"'
stop_service
grep -q $'\t3:00 AM-Force ShutDown-Repeat NO-Every Day\r$' "$state/rebootdata.kx.done" ||
    fail "the done record lacks the line: $(od -c "$state/rebootdata.kx.done" | head)"
run_service "$schedule" "2026-12-08 02:59:30"
set_clock "2026-12-08 03:00:00"
wait_for_log 'Not run, a one-time line that has run already: 3:00 AM-Force ShutDown' ||
    fail "the second day's run was not passed over: $(cat "$work/log")"
stop_service
call_lines | grep -q 'PowerOff\|ScheduleShutdown' && fail "the one-time line acted again: $(call_lines)"
[ "$(fingerprint "$schedule")" = "$before" ] || fail "the schedule changed: $(fingerprint "$schedule")"
echo "a one-time line: run on the first day, passed over on the next; file unchanged"

# --- Refused while others than root can change it: nothing runs.
# Waits for the refusal at the due minute, then stops the service.
expect_refused() {
    run_service "$1" "2026-12-07 02:59:30"
    set_clock "2026-12-07 03:00:00"
    wait_for_log "The machine's schedule is refused, and nothing in it is carried out: $1" ||
        fail "$2 was not refused: $(cat "$work/log")"
    stop_service
    [ "$(grep -c 'is refused' "$work/log")" -eq 1 ] || fail "refused more than once: $(cat "$work/log")"
    ! call_lines | grep -qv ListSessions || fail "$2: something ran: $(call_lines)"
}
write_schedule '3:00 AM-Force Reboot-Repeat YES-Every Day'
chmod 664 "$schedule"
expect_refused "$schedule" "a group-writable schedule"
chmod 644 "$schedule"
echo "a group-writable schedule: refused, said once, nothing run"

mkdir -m 755 "$work/users"
chown 65534:65534 "$work/users"
cp -p "$schedule" "$work/users/rebootdata.kx"
expect_refused "$work/users/rebootdata.kx" "a schedule in a user's folder"
echo "a schedule in a folder a user owns: refused, said once, nothing run"

# --- Log off ends every user's sessions.
for session in c1:1000:alice c2:1001:bob; do
    IFS=: read -r id uid name <<<"$session"
    mock org.freedesktop.DBus.Mock.AddSession "string:$id" string:seat0 "uint32:$uid" \
        "string:$name" boolean:true >/dev/null || fail "no session $id added"
done
write_schedule '3:00 AM-LogOff-Repeat YES-Every Day'
run_service "$schedule" "2026-12-07 02:59:30"
set_clock "2026-12-07 03:00:00"
wait_for_call 'string "c2"'
stop_service
[ "$(call_lines | grep TerminateSession)" = $'TerminateSession c1\nTerminateSession c2' ] ||
    fail "log off made: $(call_lines)"
echo "log off: both users' sessions ended"

# --- An announcement is taken back when its line leaves the file.
write_schedule '3:00 AM-ShutDown-Repeat YES-Every Day' '5:00 AM-LockWorkStation-Repeat YES-Every Day'
run_service "$schedule" "2026-12-07 02:57:30"
set_clock "2026-12-07 02:58:00"
wait_for_call '"ScheduleShutdown"'
write_schedule '5:00 AM-LockWorkStation-Repeat YES-Every Day'
set_clock "2026-12-07 02:59:00"
wait_for_call '"CancelScheduledShutdown"'
stop_service
[ "$(call_lines | grep -v ListSessions)" = "ScheduleShutdown dry-poweroff $(date -u -d '2026-12-07 03:00:00' +%s)000000
CancelScheduledShutdown" ] || fail "the calls were: $(call_lines)"
echo "a shutdown announced at 2:58 for 3:00 was taken back when its line left the file"

# --- A user's line gives way at the machine's minute. /etc/tolvane is the
# machine's own path, so the user's service runs where /etc is an overlay
# holding it; without overlays (some containers), this part is skipped.
mkdir -p "$work/overlay/upper" "$work/overlay/work" "$work/overlay/etc-tolvane"
printf '%s\r\n' '3:00 AM-Reboot-Repeat YES-Every Day' >"$work/overlay/etc-tolvane/rebootdata.kx"
# shellcheck disable=SC2016
in_overlay=(unshare --mount --propagation private sh -c 'mount -t overlay tolvane-test \
    -o "lowerdir=/etc,upperdir=$0/upper,workdir=$0/work" /etc &&
    mkdir -p -m 755 /etc/tolvane && cp -p "$0/etc-tolvane/rebootdata.kx" /etc/tolvane/ &&
    exec "$@"' "$work/overlay")
machines_own=$(stat -c '%i %Y' /etc/tolvane 2>&1)
if "${in_overlay[@]}" test -f /etc/tolvane/rebootdata.kx 2>/dev/null; then
    mkdir -m 755 "$work/home"
    printf '%s\r\n' '3:00 AM-LockWorkStation-Repeat YES-Every Day' \
        '3:01 AM-LockWorkStation-Repeat YES-Every Day' >"$work/home/rebootdata.kx"
    chown -R 65534:65534 "$work/home"
    mock org.freedesktop.DBus.Mock.AddSession string:c7 string:seat0 uint32:65534 \
        string:nobody boolean:true >/dev/null || fail "no session added"
    runner=("${in_overlay[@]}" "${runner[@]}")
    start_service "2026-12-07 02:59:30" --schedule "$work/home/rebootdata.kx" --user 65534
    set_clock "2026-12-07 03:00:00"
    wait_for_log "Not run, the machine's schedule acts at this minute: 3:00 AM-LockWorkStation" ||
        fail "the user's line did not give way: $(cat "$work/log")"
    # The next minute is the user's own again.
    set_clock "2026-12-07 03:01:00"
    wait_for_call '"LockSession"'
    stop_service
    [ "$(call_lines | grep -v ListSessions)" = "LockSession c7" ] ||
        fail "the user's service made: $(call_lines)"
    [ "$(stat -c '%i %Y' /etc/tolvane 2>&1)" = "$machines_own" ] || fail "the machine's /etc changed"
    echo "a user's line gave way at the machine's minute, and ran at its own"
else
    echo "skipped: no overlay mount here for a private /etc/tolvane"
fi

# --- Only root runs the machine's schedule.
status=0
setpriv --reuid=65534 --regid=65534 --clear-groups "$service" --machine --schedule "$schedule" \
    --state "$state" 2>"$work/user.log" || status=$?
if [ $status -ne 2 ] || ! grep -q 'only root runs the machine' "$work/user.log"; then
    fail "as a user, --machine ended with $status: $(cat "$work/user.log")"
fi
echo "as a user: refused with status 2"
