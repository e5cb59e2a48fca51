#!/bin/sh
# The real tolvane-service.exe and its batch files under Wine, from folders
# whose paths hold spaces, parentheses, an ampersand and a caret:
#  - --console runs the loop in the foreground and logs to standard error,
#    on the file beside it or on the one --schedule names; a relative
#    --schedule is refused;
#  - installs.bat copies the program to %ProgramFiles%\Tolvane and registers
#    that copy as the service (quoted path, --schedule with the quoted
#    rebootdata.kx beside the batch file, automatic start, LocalSystem, the
#    event log source); Wine's service manager starts it and it reads that
#    schedule file; a stop reaches its control handler, and it ends cleanly;
#    run again it replaces the running service and its copy;
#  - removeit.bat stops and deletes it with its copy, and says so when there
#    is none;
#  - the service manager cannot start it with a relative --schedule;
#  - installs.bat records the user running it (--user, the SID that
#    --print-user writes); the program refuses, with exit status 2 and the
#    reason first, a service account or another user for --user, and a
#    folder or a file with a second name (hard link) at the schedule's place;
#    the service manager cannot start it without --user or for another user.
# No schedule file a service reads here holds a line that could ever be due,
# so it never asks for a power action.
#
#   service_under_wine.sh WINE-RUN TOLVANE-SERVICE.EXE INSTALLS.BAT REMOVEIT.BAT
set -u
run=$1
exe=$2
installs=$3
removeit=$4
. "$(dirname "$0")/under_wine.sh"

key='HKLM\System\CurrentControlSet\Services\Tolvane'
eventKey='HKLM\System\CurrentControlSet\Services\EventLog\Application\Tolvane'
# Bytes that hold no schedule line at all: nothing in them can fall due.
noSchedule='not a schedule line\r\n\000\377\r\n'

# A Wine program's output without CRs, and its exit code.
wine() {
    output=$("$run" "$@" 2>&1)
    code=$?
    printf '%s\n' "$output" | tr -d '\r'
    return $code
}
winpath() { "$run" winepath -w "$1" 2>/dev/null | tr -d '\r'; }
installed() { "$run" sc query Tolvane >/dev/null 2>&1; }

# Where installs.bat puts the service's program, in this build's own prefix.
programFiles=$(wine cmd /c 'echo %ProgramFiles%')
copyWin="$programFiles\\Tolvane\\tolvane-service.exe"
unixProgramFiles=$("$run" winepath -u "$programFiles" 2>/dev/null)
case "$unixProgramFiles" in
    */drive_c/* | */dosdevices/[a-z]:/*) [ -d "$unixProgramFiles" ] || fail "no folder $unixProgramFiles" ;;
    *) fail "Program Files is \"$programFiles\", \"$unixProgramFiles\"" ;;
esac
copyDir="$unixProgramFiles/Tolvane"
folder="$work/Tolvane (service) & co ^1"

at_exit() {
    # A failed run must not leave the service registered in the prefix. In
    # one process: a Wine that starts afresh starts its automatic services.
    "$run" cmd /c 'sc delete Tolvane & sc stop Tolvane' >/dev/null 2>&1
    "$run" reg delete "$eventKey" /f >/dev/null 2>&1
    rm -rf "$copyDir"
}
# Whether `sc query Tolvane` shows the state given (the output stays in $state).
in_state() {
    state=$(wine sc query Tolvane)
    printf "%s\n" "$state" | grep -q "STATE *: *$1 "
}
wait_for_state() { wait_until in_state "$1"; }
value() { wine reg query "$1" /v "$2" | sed -n "s/^ *$2 *REG_[A-Z_]* *//p"; }
# Last access of a file, in seconds.
accessed() { stat -c %X "$1"; }
long_ago() { touch -a -d 2001-01-01 "$1"; }
# Whether the console run's log names the file it carries out, whole.
names() {
    printf "%s\n" "$out" | sed -n 's/^.* info: Started; carrying out //p' | grep -qxF "$1"
}

installed && fail "a service Tolvane is registered before the test"
# Only an interrupted earlier run leaves it.
rm -rf "$copyDir"

# ---- Console mode ----
console="$work/console run"
elsewhere="$work/the window's folder (2) & co"
mkdir -p "$console" "$elsewhere"
cp "$exe" "$console/tolvane-service.exe"
printf "$noSchedule" >"$console/rebootdata.kx"
printf "$noSchedule" >"$elsewhere/rebootdata.kx"
printf "$noSchedule" >"$work/schedule.before"

# Without --schedule: the file beside the program.
out=$(wine "$console/tolvane-service.exe" --console --ticks 2 --interval 0.05)
status=$?
printf "%s\n" "$out"
[ $status -eq 0 ] || fail "--console ended with $status"
schedule="$(winpath "$console")\\rebootdata.kx"
names "$schedule" || fail "the console run did not name $schedule"
printf "%s\n" "$out" | grep -q "info: Stopped\.$" || fail "the console run did not stop by itself"

# With --schedule: that file, in another folder.
schedule="$(winpath "$elsewhere")\\rebootdata.kx"
out=$(wine "$console/tolvane-service.exe" --schedule "$schedule" --console --ticks 2 --interval 0.05)
status=$?
printf "%s\n" "$out"
[ $status -eq 0 ] || fail "--console --schedule ended with $status"
names "$schedule" || fail "the console run did not name $schedule"
printf "%s\n" "$out" | grep -q "info: Stopped\.$" || fail "the console run did not stop by itself"
for file in "$console/rebootdata.kx" "$elsewhere/rebootdata.kx"; do
    cmp -s "$file" "$work/schedule.before" || fail "$file was changed"
done
[ "$(ls "$console" | tr '\n' ' ')" = "rebootdata.kx tolvane-service.exe " ] &&
    [ "$(ls "$elsewhere")" = rebootdata.kx ] || fail "files were left: $(ls "$console" "$elsewhere")"

# Refused: a bad argument, and a --schedule relative to the working folder,
# the current drive or a drive's current folder, in either mode.
wine "$console/tolvane-service.exe" --console --ticks 0 >/dev/null
[ $? -eq 2 ] || fail "a bad argument was accepted"
for relative in rebootdata.kx 'co\rebootdata.kx' '\rebootdata.kx' 'Z:rebootdata.kx'; do
    for mode in --console ""; do
        out=$(wine "$console/tolvane-service.exe" $mode --schedule "$relative")
        status=$?
        [ $status -eq 2 ] || fail "--schedule $relative $mode ended with $status: $out"
        printf "%s\n" "$out" | grep -q "^--schedule needs the schedule file's full path" ||
            fail "--schedule $relative $mode: $out"
    done
done
echo "a relative --schedule is refused"

# ---- installs.bat and removeit.bat ----
# In a per-user folder they say the service needs the all-users
# installation, and neither they nor the program change anything.
mkdir -p "$folder"
cp "$exe" "$folder/tolvane-service.exe"
cp "$installs" "$removeit" "$folder/"
for script in installs.bat removeit.bat; do
    out=$(wine "$folder/$script")
    [ $? -ne 0 ] || fail "$script succeeded in a per-user folder: $out"
    printf "%s\n" "$out" | grep -q "^The Tolvane service needs the all-users installation of Tolvane (in Program Files)" ||
        fail "$script did not say it needs the all-users installation: $out"
    installed && fail "$script in a per-user folder registered the service"
done
sid=$(wine "$exe" --print-user) || fail "--print-user failed: $sid"
perUser() {
    out=$(wine "$folder/tolvane-service.exe" "$@")
    status=$?
    [ $status -eq 3 ] || fail "$1 from a per-user folder ended with $status: $out"
    printf "%s\n" "$out" | grep -q "not in the all-users installation" || fail "$1: $out"
    installed && fail "$1 from a per-user folder registered the service"
}
perUser --install --user "$sid" --schedule "$(winpath "$folder")\\rebootdata.kx"
perUser --remove
perUser --can-install
echo "a per-user folder installs nothing: the scripts and the program refuse"

# The all-users installation: the program and the scripts in Program Files;
# the window's schedule in the user's own local data folder.
allUsers="$unixProgramFiles/Tolvane (all users) & co ^1"
allUsersWin="$programFiles\\Tolvane (all users) & co ^1"
exeWin="$allUsersWin\\tolvane-service.exe"
local=$(wine cmd /c 'echo %LOCALAPPDATA%')
scheduleDir="$("$run" winepath -u "$local" 2>/dev/null)/Tolvane"
schedule="$local\\Tolvane\\rebootdata.kx"
at_exit() {
    # A failed run must not leave the service registered in the prefix. In
    # one process: a Wine that starts afresh starts its automatic services.
    "$run" cmd /c 'sc delete Tolvane & sc stop Tolvane' >/dev/null 2>&1
    "$run" reg delete "$eventKey" /f >/dev/null 2>&1
    rm -rf "$copyDir" "$allUsers" "$scheduleDir"
}
mkdir -p "$allUsers" "$scheduleDir"
cp "$exe" "$installs" "$removeit" "$allUsers/"
[ "$(wine "$allUsers/tolvane-service.exe" --print-schedule)" = "$schedule" ] ||
    fail "--print-schedule is not $schedule"
# The window's schedule file, which the service is to read.
printf "$noSchedule" >"$scheduleDir/rebootdata.kx"
# Whether this file system keeps the last access (relatime does once it is
# older than the last change); the service's reading shows by it.
long_ago "$scheduleDir/rebootdata.kx"
cat "$scheduleDir/rebootdata.kx" >/dev/null
if [ "$(accessed "$scheduleDir/rebootdata.kx")" -gt 978307200 ]; then
    seesReads=yes
    long_ago "$scheduleDir/rebootdata.kx"
else
    seesReads=no
fi

wine "$allUsers/installs.bat" || fail "installs.bat failed"
wait_for_state 4 || fail "the service is not running: $state"
want="\"$exeWin\" --user $sid --schedule \"$schedule\""
[ "$(value "$key" ImagePath)" = "$want" ] ||
    fail "ImagePath is $(value "$key" ImagePath), not $want"
[ "$(value "$key" Start)" = 0x2 ] || fail "not started automatically"
[ "$(value "$key" DisplayName)" = Tolvane ] || fail "display name $(value "$key" DisplayName)"
[ "$(value "$key" ObjectName)" = LocalSystem ] || fail "runs as $(value "$key" ObjectName)"
[ "$(value "$key" Type)" = 0x10 ] || fail "not a service in a process of its own"
[ "$(value "$eventKey" EventMessageFile)" = "$exeWin" ] || fail "no event log source"
[ "$(value "$eventKey" TypesSupported)" = 0x7 ] || fail "the event log source takes no types"
[ ! -e "$copyDir" ] || fail "a copy was made in $copyDir"
printf 'installed and running: %s\n' "$want"
if [ $seesReads = yes ]; then
    read_since_2001() { [ "$(accessed "$scheduleDir/rebootdata.kx")" -gt 978307200 ]; }
    wait_until read_since_2001 || fail "the service did not read $schedule"
    printf "the service read %s\n" "$schedule"
else
    echo "this file system keeps no access times: not checked that the service read its schedule"
fi

# The stop control reaches the handler, and the service reports itself
# stopped with no error (a crash would show as 1067).
wine sc stop Tolvane >/dev/null
wait_for_state 1 || fail "the service did not stop: $state"
printf "%s\n" "$state" | grep -q "WIN32_EXIT_CODE *: *0 " || fail "the service did not end cleanly: $state"
wine sc start Tolvane >/dev/null
wait_for_state 4 || fail "the service did not start again: $state"

# Installing again replaces the running service; hostile schedule paths are
# refused with one line and exit status 2, and leave it as it was.
wine "$allUsers/installs.bat" || fail "installs.bat failed over an installed service"
wait_for_state 4 || fail "the service is not running after the second install: $state"
[ "$(value "$key" ImagePath)" = "$want" ] || fail "ImagePath is now $(value "$key" ImagePath)"
for hostile in "$local\\Tolvane\" --user S-1-5-18 --schedule \"C:\\x\\rebootdata.kx" \
    "$local\\Tolvane\\" "$local\\%SystemRoot%\\rebootdata.kx" "rebootdata.kx" \
    "$local\\Tol
vane\\rebootdata.kx"; do
    out=$(wine "$allUsers/tolvane-service.exe" --install --user "$sid" --schedule "$hostile")
    status=$?
    [ $status -eq 2 ] || fail "--schedule \"$hostile\" ended with $status: $out"
    # The reason in one line; the usage may follow a blank one, and
    # wine-run adds its own line about the status.
    second=$(printf "%s\n" "$out" | sed -n 2p)
    [ -n "$(printf "%s\n" "$out" | head -n 1)" ] && { [ -z "$second" ] || [ "${second#wine-run: }" != "$second" ]; } ||
        fail "--schedule \"$hostile\": the reason is not one line: $out"
    [ "$(value "$key" ImagePath)" = "$want" ] || fail "--schedule \"$hostile\" changed the ImagePath"
done
out=$(wine "$allUsers/tolvane-service.exe" --install --user S-1-5-18 --schedule "$schedule")
[ $? -eq 2 ] || fail "--install for LocalSystem was not refused: $out"
echo "installed again over the running service; hostile values refused"

# removeit.bat; a lone copy an earlier version left in %ProgramFiles%\Tolvane
# goes with the service.
mkdir -p "$copyDir"
cp "$exe" "$copyDir/tolvane-service.exe"
wine "$allUsers/removeit.bat" || fail "removeit.bat failed"
installed && fail "the service is still registered"
wine reg query "$key" >/dev/null && fail "the service's key is still there"
wine reg query "$eventKey" >/dev/null && fail "the event log source is still there"
[ ! -e "$copyDir" ] || fail "the copy an earlier version left is still there: $(ls -A "$copyDir")"
[ -f "$allUsers/tolvane-service.exe" ] || fail "removeit.bat deleted the installation's own program"
# Wine shows its processes by their Windows command lines.
service_ended() { ! grep -qF "Tolvane (all users)" /proc/[0-9]*/cmdline 2>/dev/null; }
wait_until service_ended || fail "the service's process still runs"
cmp -s "$scheduleDir/rebootdata.kx" "$work/schedule.before" || fail "the schedule file was changed"
out=$(wine "$allUsers/removeit.bat") || fail "removeit.bat failed with nothing to remove"
printf "%s\n" "$out" | grep -q "not installed" || fail "removeit.bat did not say there was nothing: $out"
echo "removed, with the copy an earlier version left"

# A folder at the schedule's place does not keep the service from starting:
# its ticks refuse it.
rm "$scheduleDir/rebootdata.kx"
mkdir "$scheduleDir/rebootdata.kx"
wine "$allUsers/tolvane-service.exe" --install --user "$sid" --schedule "$schedule" >/dev/null ||
    fail "the service did not start with a folder at the schedule's place"
wait_for_state 4 || fail "the service is not running with a folder at the schedule's place: $state"
wine "$allUsers/tolvane-service.exe" --remove >/dev/null || fail "--remove failed"
installed && fail "--remove left the service"
rmdir "$scheduleDir/rebootdata.kx"
echo "the service starts with a folder at the schedule's place"

# Without the program beside it installs.bat installs nothing.
rm "$folder/tolvane-service.exe"
wine "$folder/installs.bat" >/dev/null && fail "installs.bat succeeded without the program"
installed && fail "a service was registered without its program"
echo "installs.bat refuses a folder without tolvane-service.exe"

# The service manager starts the program with the ImagePath's arguments: a
# relative --schedule ends it before it reports itself running.
refused="$work/refused"
mkdir -p "$refused"
cp "$exe" "$refused/tolvane-service.exe"
wine sc create Tolvane binPath= "\"$(winpath "$refused")\\tolvane-service.exe\" --schedule rebootdata.kx" >/dev/null ||
    fail "the service with a relative --schedule could not be registered"
wine sc start Tolvane >/dev/null && fail "the service started with a relative --schedule"
wait_for_state 1 || fail "the service with a relative --schedule is not stopped: $state"
printf "%s\n" "$state" | grep -q "WIN32_EXIT_CODE *: *0 " && fail "no error shown: $state"
wine sc delete Tolvane >/dev/null || fail "could not delete the refused service"
[ "$(ls "$refused")" = tolvane-service.exe ] || fail "the refused service left $(ls "$refused")"
echo "the service manager cannot start it with a relative --schedule"
# ---- One user, and nothing but a plain file at the schedule's place ----
# --print-user writes this program's user as a SID, the form --user takes.
printf "%s\n" "$sid" | grep -qxE 'S-1-[0-9]+(-[0-9]+)+' || fail "--print-user wrote \"$sid\""
echo "the service is for $sid"

# Each refusal: exit status 2, and the reason as the first line.
checked="$work/checked"
mkdir -p "$checked/folder.kx" "$work/elsewhere"
cp "$exe" "$checked/tolvane-service.exe"
printf "$noSchedule" >"$work/elsewhere/rebootdata.kx"
ln "$work/elsewhere/rebootdata.kx" "$checked/linked.kx"
dir=$(winpath "$checked")
refused() {
    why=$1
    shift
    out=$(wine "$checked/tolvane-service.exe" --console --ticks 1 --interval 0.01 "$@")
    status=$?
    [ $status -eq 2 ] || fail "$* ended with $status, not 2: $out"
    printf "%s\n" "$out" | head -n 1 | grep -qF -e "$why" || fail "$*: the first line is not \"$why\": $out"
}
refused "service account" --user S-1-5-18
refused "only LocalSystem can act for user S-1-5-21-1-2-3-4242" --user S-1-5-21-1-2-3-4242
refused "--user needs the user's security identifier" --user Ann
refused "--schedule needs the schedule file's full path" --schedule '\\?\C:\rebootdata.kx'
cmp -s "$work/elsewhere/rebootdata.kx" "$work/schedule.before" || fail "the linked file was changed"
[ "$(ls "$checked" | tr '\n' ' ')" = "folder.kx linked.kx tolvane-service.exe " ] ||
    fail "files were left: $(ls "$checked")"
# A folder or a second name at the schedule's place: it runs, and refuses
# it in the log at most once (only a tick at a new minute reads the
# schedule; the ServiceStart tests follow a refusal over many minutes).
for bad in folder.kx linked.kx; do
    out=$(wine "$checked/tolvane-service.exe" --console --ticks 3 --interval 0.01 --schedule "$dir\\$bad")
    status=$?
    [ $status -eq 0 ] || fail "--schedule $bad ended with $status: $out"
    [ "$(printf "%s\n" "$out" | grep -c " error: Refused: ")" -le 1 ] ||
        fail "--schedule $bad: the refusal was logged more than once: $out"
done
# Its own user, named or not, in the console.
for user in "" "--user $sid"; do
    out=$(wine "$checked/tolvane-service.exe" --console --ticks 1 --interval 0.01 $user)
    [ $? -eq 0 ] || fail "the console run $user failed: $out"
done
echo "refused: a service account, another user; a folder or a second name at the schedule's place refused in the log"

# The service manager cannot start it without its user, or for another one.
for user in "" "--user S-1-5-21-1-2-3-4242"; do
    wine sc create Tolvane binPath= "\"$dir\\tolvane-service.exe\" $user --schedule \"$dir\\rebootdata.kx\"" >/dev/null ||
        fail "the service with \"$user\" could not be registered"
    wine sc start Tolvane >/dev/null && fail "the service started with \"$user\""
    wait_for_state 1 || fail "the service with \"$user\" is not stopped: $state"
    printf "%s\n" "$state" | grep -q "WIN32_EXIT_CODE *: *0 " && fail "no error shown: $state"
    wine sc delete Tolvane >/dev/null || fail "could not delete the refused service"
done
echo "the service manager cannot start it without its user or for another one"
exit 0
