#!/bin/sh
# The real tolvane-service.exe with the machine's schedule under Wine, at its
# own places in %ProgramData%:
#  - --console --machine makes %ProgramData%\Tolvane and its state folder
#    with the permissions only administrators may change through, and waits
#    for a schedule there;
#  - a schedule then written into that folder runs its due line (in the
#    minute after the service started) once, for
#    all users, with a record of its four facts; the file's bytes stay as
#    they were and the one-time line is kept in the done record instead;
#  - the same file made writable by others (Wine shows the Unix mode's
#    "others" as Everyone), or the folder owned by another Unix user (Wine
#    names such an owner ANONYMOUS LOGON), is refused with its reason and
#    nothing runs, and so is a folder others can change that stood there
#    before the service made its own;
#  - --install --machine acts only from the all-users installation.
# Wine keeps no Windows permissions of its own: it shows every file as owned
# by the account running the program (when the Unix owner is the one running
# Wine) with SYSTEM and that account allowed everything, and the Unix mode's
# "others" bits as Everyone's. What this checks for real is the service's
# decision on what Wine reports; the rule over owners and DACLs is tested
# with stand-ins in the platform tests.
# Wine has no user sessions, so the due log-off line finds nobody logged on:
# the line runs and its record says so.
#  - the service "TolvaneMachine", installed from Program Files and started
#    by Wine's service manager, makes the folders itself and runs a due line.
#
#   machine_under_wine.sh WINE-RUN TOLVANE-SERVICE.EXE
set -u
run=$1
exe=$2
. "$(dirname "$0")/under_wine.sh"

wine() {
    output=$("$run" "$@" 2>&1)
    code=$?
    printf '%s\n' "$output" | tr -d '\r'
    return $code
}

programData=$(wine cmd /c 'echo %ProgramData%')
home="$programData\\Tolvane"
unixProgramData=$("$run" winepath -u "$programData" 2>/dev/null)
[ -d "$unixProgramData" ] || fail "no folder for ProgramData: \"$programData\", \"$unixProgramData\""
unixHome="$unixProgramData/Tolvane"
at_exit() { rm -rf "$unixHome"; }
# Only an interrupted earlier run leaves them.
rm -rf "$unixHome" "$unixProgramData/Tolvane "*

program="$work/tolvane-service.exe"
cp "$exe" "$program"
# One run of the machine's schedule in the console: its output in $out.
machine() {
    out=$(wine "$program" --console --machine --ticks "$1" --interval 0.01)
    status=$?
    printf '%s\n' "$out" >"$work/out.log"
    [ $status -eq 0 ] || fail "--console --machine ended with $status"
}
records() { printf '%s\n' "$out" | grep -c "; Line: "; }

# ---- The service makes its folders ----
machine 1
printf '%s\n' "$out" | grep -qxF "$(printf '%s' "$out" | head -n1 | sed 's/ info: .*//') info: Started; carrying out the machine's schedule $home\\rebootdata.kx" ||
    fail "the run did not name the machine's schedule"
[ -d "$unixHome/state" ] || fail "the service did not make $home\\state"
[ "$(records)" -eq 0 ] || fail "something ran without a schedule"
printf '%s\n' "made: $(stat -c '%A %U' "$unixHome") $home, $(stat -c '%A %U' "$unixHome/state") state"

# ---- A due line, and the refusals ----
# The service reads its schedule only once a minute has turned after its
# start (a machine it rebooted may be back within the minute it acted in),
# so each run below lasts into the next minute, with a line due then: ticks
# every half second until three seconds past it. All four run side by side,
# across the same turn of the minute:
#  - due:    the schedule written into the folder the service made;
#  - open:   a file others may write (Wine: the Unix mode's "others");
#  - owned:  a folder of another Unix user's (Wine: ANONYMOUS LOGON owns it);
#  - before: a state folder others may write that stood there before the
#            service would have made its own.
# The line's minute is the first to begin 20 seconds from now or later. Each
# run's log says when it started; a run that started only within that minute
# (a machine too busy to start four Wine programs) makes it all go again
# with a later minute, rather than fail.
mkdir "$unixProgramData/Tolvane open" "$unixProgramData/Tolvane owned" \
      "$unixProgramData/Tolvane before" "$unixProgramData/Tolvane before/state"
chown 1234 "$unixProgramData/Tolvane owned"
chmod 0777 "$unixProgramData/Tolvane before/state"
at_exit() { rm -rf "$unixHome" "$unixProgramData/Tolvane "*; }
attempt=1
while :; do
    now=$(date +%s)
    due=$((now - now % 60 + 60))
    [ $((due - now)) -lt 20 ] && due=$((due + 60))
    line="$(date -d "@$due" '+%-I:%M %p')-LogOff-Repeat NO-Every Day"
    other="$(date -d "@$((due + 120))" '+%-I:%M %p')-Reboot-Repeat YES-Every Day"
    for folder in "$unixHome" "$unixProgramData/Tolvane "*; do
        printf '%s\r\n%s\r\n' "$line" "$other" >"$folder/rebootdata.kx"
    done
    chmod o+w "$unixProgramData/Tolvane open/rebootdata.kx"
    cp "$unixHome/rebootdata.kx" "$work/schedule.before"
    ticks=$(((due - now + 3) * 2))
    runs=
    for name in due open owned before; do
        if [ $name = due ]; then
            set -- --console --machine
        else
            set -- --console --machine --schedule "$programData\\Tolvane $name\\rebootdata.kx" \
                   --state "$programData\\Tolvane $name\\state"
        fi
        "$run" "$program" "$@" --ticks $ticks --interval 0.5 >"$work/$name.log" 2>&1 &
        runs="$runs $!"
    done
    for each in $runs; do wait "$each" || fail "a --console --machine run ended with $?"; done
    late=
    for name in due open owned before; do
        tr -d '\r' <"$work/$name.log" >"$work/$name.txt"
        started=$(grep -m1 " info: Started" "$work/$name.txt" | cut -c1-19)
        [ -n "$started" ] || { cp "$work/$name.txt" "$work/out.log"; fail "$name: no start logged"; }
        [ "$(date -d "$started" +%s)" -lt "$due" ] || late="$late $name"
    done
    [ -z "$late" ] && break
    [ $attempt -lt 3 ] || fail "three times, runs started only within their line's minute:$late"
    echo "started only within $(date -d "@$due" +%H:%M):$late; again, with a later minute"
    attempt=$((attempt + 1))
done

cp "$work/due.txt" "$work/out.log"
[ "$(grep -c "; Line: " "$work/due.txt")" -eq 1 ] || fail "not exactly one line ran"
record=$(grep "; Line: " "$work/due.txt")
printf '%s\n' "$record" |
    grep -qF "; Line: $line; Schedule: $home\\rebootdata.kx; User: (all users); Result: failed" ||
    fail "the record lacks its facts: $record"
printf '%s\n' "$record" | grep -qF "Nobody is logged on." || fail "the record does not say why: $record"
cmp -s "$unixHome/rebootdata.kx" "$work/schedule.before" || fail "the machine's schedule was rewritten"
grep -qF "	$line" "$unixHome/state/rebootdata.kx.done" ||
    fail "the one-time line is not in the done record"
printf 'ran once: %s\n' "$record"

refused() {
    cp "$work/$1.txt" "$work/out.log"
    [ "$(grep -c "Result: refused" "$work/$1.txt")" -eq 1 ] || fail "$1: not refused once"
    grep "Result: refused" "$work/$1.txt" | grep -qF "$2" || fail "$1: the refusal does not say $2"
    grep -q "Result: \(done\|failed\)" "$work/$1.txt" && fail "$1: a line ran"
    printf 'refused, %s: %s\n' "$1" "$(grep "Result: refused" "$work/$1.txt" | sed 's/.* error: //')"
}
refused open "$programData\\Tolvane open\\rebootdata.kx: S-1-1-0"
refused owned "$programData\\Tolvane owned: S-1-5-7 (owner)"
refused before "its state folder: others than Administrators"
refused before "$programData\\Tolvane before\\state: S-1-1-0"
[ "$(stat -c %a "$unixProgramData/Tolvane before/state")" = 777 ] ||
    fail "the service changed a folder it did not make"

# ---- The service "TolvaneMachine" ----
# Installed from the all-users installation (here a copy in Program Files),
# Wine's service manager starts it; it makes %ProgramData%\Tolvane itself
# and runs the line due in the schedule then written there: its record goes
# to the event log, which Wine does not keep, but the one-time line lands in
# the done record, and the file stays as it was.
programFiles=$(wine cmd /c 'echo %ProgramFiles%')
installed="$programFiles\Tolvane machine test"
unixInstalled="$("$run" winepath -u "$programFiles" 2>/dev/null)/Tolvane machine test"
at_exit() {
    "$run" cmd /c 'sc stop TolvaneMachine & sc delete TolvaneMachine' >/dev/null 2>&1
    rm -rf "$unixHome" "$unixProgramData/Tolvane "* "$unixInstalled"
}
rm -rf "$unixHome" "$unixInstalled"
mkdir -p "$unixInstalled"
cp "$exe" "$unixInstalled/tolvane-service.exe"
out=$(wine "$unixInstalled/tolvane-service.exe" --install --machine)
status=$?
printf '%s\n' "$out" >"$work/out.log"
[ $status -eq 0 ] || fail "--install --machine ended with $status"
printf '%s\n' "$out" | grep -qxF "The TolvaneMachine service is installed and running: \"$installed\\tolvane-service.exe\" --machine" ||
    fail "--install --machine said: $out"
made() { [ -d "$unixHome/state" ]; }
wait_until made || fail "the service did not make $home\\state"
# The line is due in the first minute to begin 5 seconds from now or later;
# a file that landed only within that minute (a stalled machine) is written
# again for the minute after.
now=$(date +%s)
due=$((now - now % 60 + 60))
[ $((due - now)) -lt 5 ] && due=$((due + 60))
while :; do
    line="$(date -d "@$due" '+%-I:%M %p')-LogOff-Repeat NO-Every Day"
    printf '%s\r\n' "$line" >"$unixHome/rebootdata.kx.new"
    mv "$unixHome/rebootdata.kx.new" "$unixHome/rebootdata.kx"
    [ "$(date +%s)" -lt "$due" ] && break
    due=$((due + 60))
done
cp "$unixHome/rebootdata.kx" "$work/schedule.before"
echo "the service runs; waiting for its line at the next minute: $line"
done_record() { grep -qF "	$line" "$unixHome/state/rebootdata.kx.done" 2>/dev/null; }
# Up to a minute to the line's minute, and the service ticks every 45 seconds.
hang_guard=300
wait_until done_record || fail "the service did not run $line"
cmp -s "$unixHome/rebootdata.kx" "$work/schedule.before" || fail "the service rewrote the schedule"
out=$(wine "$unixInstalled/tolvane-service.exe" --remove --machine)
printf '%s\n' "$out" | grep -qxF "The TolvaneMachine service is removed." || fail "--remove --machine said: $out"
"$run" sc query TolvaneMachine >/dev/null 2>&1 && fail "the machine's service is still there"
echo "the service ran its line, kept it in the done record and was removed"

# ---- The machine's service is installed only from Program Files ----
out=$(wine "$program" --install --machine)
[ $? -eq 3 ] || fail "--install --machine from a user's folder: $out"
printf '%s\n' "$out" | grep -q "^Not installed: this copy of tolvane-service.exe is not in the all-users installation" ||
    fail "--install --machine did not say why: $out"
"$run" sc query TolvaneMachine >/dev/null 2>&1 && fail "the machine's service was installed"
echo "--install --machine refused outside Program Files"
echo "the machine's schedule under Wine: all checks passed"
