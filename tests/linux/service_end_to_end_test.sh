#!/bin/bash
# The real tolvane-service against a logind mock on a private system bus, with
# the clock set (libfaketime) a few seconds before a schedule's minute: the
# one-time reboot is requested and leaves the file first; the repeating lock
# locks the owner's session and stays. Run as root with the schedule in another
# user's folder, as the installed service does, the file is rewritten with
# that user's rights. SIGTERM, as systemd stops it, ends it with status 0; with
# no system bus it says so and ends with status 1.
#
#   service_end_to_end_test.sh TOLVANE-SERVICE LOGIND-TEMPLATE [sanitized]
set -u
service=$1
template=$2
# The memory a unit would allow; a sanitizer's shadow memory needs far more.
limit=(prlimit --as=$((1024 * 1024 * 1024)))
[ "${3-}" = sanitized ] && limit=()

# shellcheck source=service_test_bus.sh
source "$(dirname "$0")/service_test_bus.sh" "$template"
# The service walks the file's lines in order and waits for each request:
# the lines that are not due (another hour, another day) come before the last
# due one, so once its lock is requested they have been passed over.
mkdir -p "$work/data dir"
schedule="$work/data dir/rebootdata.kx"
# A lone line feed stays inside a line of the file; logged as it stands, it
# would be a journal entry of its own at emergency priority.
hostile=$'3:00 AM-Nothing\n<0>Broadcast from root: the system is going down-Repeat YES-Every Day'
printf '%s\r\n' '12:00 PM-ShutDown-Repeat YES-Every Day' '3:00 AM-Force LogOff-Repeat YES-Tuesday' \
    '3:00 AM-Force Reboot-Repeat NO-Every Day' '3:00 AM-Force ShutDown-Repeat YES-Friday' \
    "$hostile" '3:00 AM-LockWorkStation-Repeat YES-Every Day' '' >"$schedule"
owner=$(id -u)
if [ "$owner" -eq 0 ]; then
    owner=65534
    chown -R "$owner:$owner" "$work/data dir"
fi
mock org.freedesktop.DBus.Mock.AddSession string:c7 string:seat0 "uint32:$owner" string:owner \
    boolean:true >/dev/null || fail "no session added"
mock org.freedesktop.DBus.Mock.ClearCalls >/dev/null

# Three seconds before 3:00 AM; timers keep the real monotonic clock.
LD_PRELOAD=$faketime_lib FAKETIME="@2026-12-07 02:59:57" FAKETIME_DONT_FAKE_MONOTONIC=1 \
    "${limit[@]}" "$service" --schedule "$schedule" --user "$owner" --interval 1 2>"$work/service.log" &
service_pid=$!
started $service_pid

calls=
lock_and_reboot_asked() {
    calls=$(mock org.freedesktop.DBus.Mock.GetCalls 2>/dev/null)
    grep -q '"LockSession"' <<<"$calls" && grep -q '"Reboot"' <<<"$calls"
}
within lock_and_reboot_asked
grep -q '"Reboot"' <<<"$calls" || { cat "$work/service.log" >&2; fail "no reboot requested"; }
grep -q '"LockSession"' <<<"$calls" || { cat "$work/service.log" >&2; fail "no lock requested"; }
grep -q 'string "c7"' <<<"$calls" || fail "the lock was not for the owner's session"
grep -q '"PowerOff\|"TerminateSession' <<<"$calls" && fail "an action that was not due ran"

expected=$(printf '%s\r\n' '12:00 PM-ShutDown-Repeat YES-Every Day' '3:00 AM-Force LogOff-Repeat YES-Tuesday' \
    '3:00 AM-Force ShutDown-Repeat YES-Friday' "$hostile" '3:00 AM-LockWorkStation-Repeat YES-Every Day' '')
[ "$(cat "$schedule")" = "$expected" ] || fail "the file is: $(od -c "$schedule" | head)"
grep -q '^<6>Requested forced reboot for: 3:00 AM-Force Reboot-Repeat NO-Every Day$' \
    "$work/service.log" || { cat "$work/service.log" >&2; fail "the reboot was not logged"; }
grep -qxF '<6>Nothing to do for: 3:00 AM-Nothing\n<0>Broadcast from root: the system is going down-Repeat YES-Every Day' \
    "$work/service.log" || { cat "$work/service.log" >&2; fail "the line with a line feed was not logged as one escaped line"; }
grep -v '^<[36]>' "$work/service.log" | grep -q . && fail "a log line without the service's priority: $(grep -v '^<[36]>' "$work/service.log")"
[ "$(stat -c %u "$schedule")" = "$owner" ] || fail "the file now belongs to uid $(stat -c %u "$schedule")"
ls "$work/data dir" | grep -qv '^rebootdata.kx\(\.lock\|\.runs\)\?$' &&
    fail "a temporary file was left: $(ls "$work/data dir")"
for shared in lock runs; do
    [ "$(stat -c %u "$schedule.$shared")" = "$owner" ] || fail "the .$shared file is not the user's"
done
grep -q $'\t3:00 AM-Force Reboot-Repeat NO-Every Day\r$' "$schedule.runs" ||
    fail "the run record lacks the reboot: $(od -c "$schedule.runs" | head)"
echo "reboot and lock requested; the one-time line left the file"

# systemd stops the service with SIGTERM: it ends at its next wait, cleanly.
kill -TERM "$service_pid"
wait "$service_pid"
status=$?
[ $status -eq 0 ] || { cat "$work/service.log" >&2; fail "stopped by SIGTERM, it ended with status $status"; }
echo "SIGTERM ended it with status 0"

# No system bus at its address: one line in the log and status 1, so systemd
# starts it again (Restart=on-failure) once the bus is there.
status=0
DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" "${limit[@]}" "$service" --schedule "$schedule" \
    --user "$owner" 2>"$work/no-bus.log" || status=$?
[ $status -eq 1 ] || fail "with no system bus, it ended with status $status: $(cat "$work/no-bus.log")"
grep -qxF "<3>No system bus: Failed to connect to unix:path=$work/no-bus: No such file or directory" \
    "$work/no-bus.log" || fail "with no system bus, it said: $(cat "$work/no-bus.log")"
echo "no system bus: said so, status 1"
