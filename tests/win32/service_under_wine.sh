#!/bin/sh
# The real tolvane-service.exe and its batch files under Wine, from folders
# whose paths hold spaces, parentheses and an ampersand:
#  - --console runs the loop in the foreground and logs to standard error;
#  - installs.bat registers the service (quoted path, automatic start,
#    LocalSystem, the event log source) and Wine's service manager starts it;
#    a stop reaches its control handler, and it ends cleanly; run again it
#    replaces the running service;
#  - removeit.bat stops and deletes it, and says so when there is none.
# No folder the service runs from holds a schedule file, so it never asks for
# a power action.
#
#   service_under_wine.sh WINE-RUN TOLVANE-SERVICE.EXE INSTALLS.BAT REMOVEIT.BAT
set -u
run=$1
exe=$2
installs=$3
removeit=$4

work=$(mktemp -d "${TMPDIR:-/tmp}/tolvane service.XXXXXX")
folder="$work/Tolvane (service) & co"
key='HKLM\System\CurrentControlSet\Services\Tolvane'
eventKey='HKLM\System\CurrentControlSet\Services\EventLog\Application\Tolvane'

# A Wine program's output without CRs, and its exit code.
wine() {
    output=$("$run" "$@" 2>&1)
    code=$?
    printf '%s\n' "$output" | tr -d '\r'
    return $code
}
winpath() { "$run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
installed() { "$run" sc query Tolvane >/dev/null 2>&1; }
finish() {
    # A failed run must not leave the service registered in the prefix. In
    # one process: a Wine that starts afresh starts its automatic services.
    "$run" cmd /c 'sc delete Tolvane & sc stop Tolvane' >/dev/null 2>&1
    "$run" reg delete "$eventKey" /f >/dev/null 2>&1
    rm -rf "$work"
}
trap finish EXIT
fail() {
    printf 'FAILED: %s\n' "$*" >&2
    exit 1
}
# Waits up to 10 s for `sc query Tolvane` to show the state given.
wait_for_state() {
    for _ in $(seq 100); do
        state=$(wine sc query Tolvane)
        printf "%s\n" "$state" | grep -q "STATE *: *$1 " && return 0
        sleep 0.1
    done
    return 1
}
value() { wine reg query "$1" /v "$2" | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }

installed && fail "a service Tolvane is registered before the test"

# ---- Console mode ----
console="$work/console run"
mkdir -p "$console"
cp "$exe" "$console/tolvane-service.exe"
printf 'not a schedule line\r\n\000\377\r\n' >"$console/rebootdata.kx"
cp "$console/rebootdata.kx" "$work/schedule.before"
out=$(wine "$console/tolvane-service.exe" --console --ticks 2 --interval 0.05)
status=$?
printf "%s\n" "$out"
[ $status -eq 0 ] || fail "--console ended with $status"
schedule="$(winpath "$console")\\rebootdata.kx"
printf "%s\n" "$out" | grep -qF "info: Started; carrying out $schedule" ||
    fail "the console run did not name $schedule"
printf "%s\n" "$out" | grep -q "info: Stopped\.$" || fail "the console run did not stop by itself"
cmp -s "$console/rebootdata.kx" "$work/schedule.before" || fail "the schedule file was changed"
wine "$console/tolvane-service.exe" --console --ticks 0 >/dev/null
[ $? -eq 2 ] || fail "a bad argument was accepted"

# ---- installs.bat ----
mkdir -p "$folder"
cp "$exe" "$folder/tolvane-service.exe"
cp "$installs" "$removeit" "$folder/"
[ ! -e "$folder/rebootdata.kx" ] || fail "a schedule file is beside the service"
service="$(winpath "$folder")\\tolvane-service.exe"

wine "$folder/installs.bat" || fail "installs.bat failed"
wait_for_state 4 || fail "the service is not running: $state"
[ "$(value "$key" ImagePath)" = "\"$service\"" ] ||
    fail "ImagePath is $(value "$key" ImagePath), not the quoted \"$service\""
[ "$(value "$key" Start)" = 0x2 ] || fail "not started automatically"
[ "$(value "$key" DisplayName)" = Tolvane ] || fail "display name $(value "$key" DisplayName)"
[ "$(value "$key" ObjectName)" = LocalSystem ] || fail "runs as $(value "$key" ObjectName)"
[ "$(value "$key" Type)" = 0x10 ] || fail "not a service in a process of its own"
[ "$(value "$eventKey" EventMessageFile)" = "$service" ] || fail "no event log source"
printf 'installed and running: "%s"\n' "$service"

# The stop control reaches the handler, and the service reports itself
# stopped with no error (a crash would show as 1067).
wine sc stop Tolvane >/dev/null
wait_for_state 1 || fail "the service did not stop: $state"
printf "%s\n" "$state" | grep -q "WIN32_EXIT_CODE *: *0 " || fail "the service did not end cleanly: $state"
wine sc start Tolvane >/dev/null
wait_for_state 4 || fail "the service did not start again: $state"

# Installing again replaces the running service.
wine "$folder/installs.bat" || fail "installs.bat failed over an installed service"
wait_for_state 4 || fail "the service is not running after the second install: $state"
echo "installed again over the running service"

# ---- removeit.bat ----
wine "$folder/removeit.bat" || fail "removeit.bat failed"
installed && fail "the service is still registered"
wine reg query "$key" >/dev/null && fail "the service's key is still there"
wine reg query "$eventKey" >/dev/null && fail "the event log source is still there"
# Wine shows its processes by their Windows paths; the pattern does not
# match grep's own command line.
pattern='Tolvane \(service\) & co\\tolvane-service\.exe'
for _ in $(seq 50); do
    grep -qE "$pattern" /proc/[0-9]*/cmdline 2>/dev/null || break
    sleep 0.1
done
grep -qE "$pattern" /proc/[0-9]*/cmdline 2>/dev/null && fail "the service's process still runs"
out=$(wine "$folder/removeit.bat") || fail "removeit.bat failed with nothing to remove"
printf "%s\n" "$out" | grep -q "not installed" || fail "removeit.bat did not say there was nothing: $out"
echo "removed"

# Without the program beside it installs.bat installs nothing.
rm "$folder/tolvane-service.exe"
wine "$folder/installs.bat" >/dev/null && fail "installs.bat succeeded without the program"
installed && fail "a service was registered without its program"
echo "installs.bat refuses a folder without tolvane-service.exe"
exit 0
