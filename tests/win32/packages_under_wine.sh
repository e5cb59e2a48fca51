#!/bin/sh
# The installer and the portable zip: the zip holds the program, the service
# program, its batch files and the help page in one folder; the installer, run
# silently under Wine, puts them in the user's programs folder with a
# Start-menu entry and an uninstaller, where installs.bat installs no service;
# with /ALLUSERS in Program Files, with the entries for all users and the
# machine's schedule service, where installs.bat installs the user's service
# (and "installs.bat machine" / "removeit.bat machine" the machine's); each
# uninstaller takes its files away again, the all-users one with the
# services that run its program.
#
#   packages_under_wine.sh WINE-GUI SETUP.EXE PORTABLE.ZIP VERSION
set -u
gui=$1
installer=$2
portable=$3
version=$4
. "$(dirname "$0")/under_wine.sh"
use_wine_gui "$gui"

listing=$(zip -sf "$portable") || fail "cannot read $portable"
folder=$(basename "$portable" -portable.zip)
for file in tolvane.exe tolvane.htm tolvane-service.exe installs.bat removeit.bat; do
    echo "$listing" | grep -q "^ *$folder/$file\$" || fail "$file is not in the zip"
done
echo "zip holds: $(echo "$listing" | grep "^ *$folder/." | tr -d ' ' | tr '\n' ' ')"

# The default place: the user's own programs folder, cleared first.
local=$("$WINE" cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null </dev/null | tr -d '\r')
target="$local\\Programs\\Tolvane"
unixTarget=$("$WINE" winepath -u "$target" 2>/dev/null </dev/null)
[ -n "$local" ] && [ -n "$unixTarget" ] || fail "no per-user programs folder"
rm -rf "$unixTarget"
"$WINE" "$installer" /S >/dev/null 2>&1 </dev/null || fail "installer failed"
for file in tolvane.exe tolvane.htm tolvane-service.exe installs.bat removeit.bat uninstall.exe; do
    [ -f "$unixTarget/$file" ] || fail "$file was not installed"
done
cmp -s "$unixTarget/tolvane.exe" "$(dirname "$portable")/$folder/tolvane.exe" ||
    fail "the installed program differs from the built one"

key='HKCU\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvane'
"$WINE" reg query "$key" /v InstallLocation 2>/dev/null </dev/null | tr -d '\r' |
    grep -qF "$target" || fail "no uninstall entry for $target"
# What Add/Remove Programs shows: version, publisher, icon and size.
entry=$("$WINE" reg query "$key" 2>/dev/null </dev/null | tr -d '\r')
shows() { printf '%s\n' "$entry" | grep -qE "^ +$1 +$2$" || fail "no $1 $2 in: $entry"; }
shows DisplayVersion "REG_SZ +$version"
shows Publisher 'REG_SZ +Quarnel'
shows DisplayIcon 'REG_SZ +.*\\tolvane\.exe'
shows EstimatedSize 'REG_DWORD +0x[0-9a-fA-F]+'
size=$(printf '%s\n' "$entry" | sed -n 's/.*EstimatedSize *REG_DWORD *0x\([0-9a-fA-F]*\).*/\1/p')
[ $((0x$size)) -gt 100 ] || fail "an installed size of $((0x$size)) KiB"
menu=$("$WINE" winepath -u 'C:\users' 2>/dev/null </dev/null)
find "$menu" -path '*Start Menu/Programs/Tolvane/Tolvane.lnk' | grep -q . ||
    fail "no Start-menu entry"
printf "installed to %s with Start-menu entry and uninstall entry\n" "$target"

# In the per-user installation installs.bat installs no service: it says
# the service needs the all-users installation.
service='HKLM\System\CurrentControlSet\Services\Tolvane'
at_exit() {
    # A failed run must not leave the service registered in the prefix.
    "$WINE" cmd /c 'sc delete Tolvane & sc stop Tolvane & sc delete TolvaneMachine & sc stop TolvaneMachine' >/dev/null 2>&1 </dev/null
    [ -n "${unixAllUsers-}" ] && rm -rf "$unixAllUsers"
    [ -n "${unixPublic-}" ] && rm -rf "$unixPublic/Tolvane"
}
image_path() {
    "$WINE" reg query "${1-$service}" /v ImagePath 2>/dev/null </dev/null | tr -d '\r' |
        sed -n 's/^ *ImagePath *REG_[A-Z_]* *//p'
}
machineService='HKLM\System\CurrentControlSet\Services\TolvaneMachine'
out=$("$WINE" "$unixTarget/installs.bat" 2>&1 </dev/null | tr -d '\r')
printf '%s\n' "$out" | grep -q "needs the all-users installation" ||
    fail "installs.bat in the per-user installation said: $out"
[ -z "$(image_path)" ] || fail "installs.bat in the per-user installation registered $(image_path)"
echo "the per-user installation installs no service"

# Runs an uninstaller, which runs a copy of itself from the temporary folder
# and returns at once, and waits for that copy to finish its work: taking
# away the uninstall entry is the last thing it does.
no_entry() { ! "$WINE" reg query "$1" >/dev/null 2>&1 </dev/null; }
uninstall() {
    "$WINE" "$1/uninstall.exe" /S >/dev/null 2>&1 </dev/null
    wait_until no_entry "$2" || fail "the uninstall entry $2 is still there"
    [ ! -e "$1" ] || fail "left behind: $(ls "$1")"
}
uninstall "$unixTarget" "$key"
find "$menu" -path '*Start Menu/Programs/Tolvane*' | grep -q . && fail "the Start-menu entry is still there"
echo "uninstalled the per-user installation"

# For all users: Program Files, HKLM's uninstall entry, the Start menu of
# all users.
programFiles=$("$WINE" cmd /c 'echo %ProgramFiles%' 2>/dev/null </dev/null | tr -d '\r')
allUsers="$programFiles\\Tolvane"
unixAllUsers=$("$WINE" winepath -u "$allUsers" 2>/dev/null </dev/null)
case "$unixAllUsers" in
    /?*/Tolvane) ;;
    *) fail "no Program Files folder: \"$programFiles\", \"$unixAllUsers\"" ;;
esac
rm -rf "$unixAllUsers"
"$WINE" "$installer" /S /ALLUSERS >/dev/null 2>&1 </dev/null || fail "the all-users installer failed"
for file in tolvane.exe tolvane.htm tolvane-service.exe installs.bat removeit.bat uninstall.exe; do
    [ -f "$unixAllUsers/$file" ] || fail "$file was not installed in $allUsers"
done
[ ! -e "$unixTarget" ] || fail "the all-users installer wrote to $target"
machineKey='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall\Tolvane'
"$WINE" reg query "$machineKey" /v InstallLocation 2>/dev/null </dev/null | tr -d '\r' |
    grep -qF "$allUsers" || fail "no all-users uninstall entry for $allUsers"
no_entry "$key" || fail "the all-users installer wrote the user's uninstall entry"
public=$("$WINE" cmd /c 'echo %ProgramData%' 2>/dev/null </dev/null | tr -d '\r')
unixPublic=$("$WINE" winepath -u "$public" 2>/dev/null </dev/null)
find "$unixPublic" -path '*Start Menu/Programs/Tolvane/Tolvane.lnk' | grep -q . ||
    fail "no Start-menu entry for all users in $public"
echo "installed for all users to $allUsers"

# The all-users installation registers the machine's schedule service; the
# batch files remove and install it again.
machineWant="\"$allUsers\\tolvane-service.exe\" --machine"
[ "$(image_path "$machineService")" = "$machineWant" ] ||
    fail "the machine's service's ImagePath is $(image_path "$machineService"), not $machineWant"
"$WINE" "$unixAllUsers/removeit.bat" machine >/dev/null 2>&1 </dev/null || fail "removeit.bat machine failed"
[ -z "$(image_path "$machineService")" ] || fail "removeit.bat machine left the machine's service"
"$WINE" "$unixAllUsers/installs.bat" machine >/dev/null 2>&1 </dev/null || fail "installs.bat machine failed"
[ "$(image_path "$machineService")" = "$machineWant" ] ||
    fail "installs.bat machine registered $(image_path "$machineService")"
printf "machine's service installed: %s\n" "$machineWant"

# There installs.bat installs the service with the program in Program Files,
# for this user and the schedule in their own local data folder.
sid=$("$WINE" "$unixAllUsers/tolvane-service.exe" --print-user 2>/dev/null </dev/null | tr -d '\r')
[ -n "$sid" ] || fail "--print-user wrote nothing"
local=$("$WINE" cmd /c 'echo %LOCALAPPDATA%' 2>/dev/null </dev/null | tr -d '\r')
"$WINE" "$unixAllUsers/installs.bat" >/dev/null 2>&1 </dev/null || fail "installs.bat failed"
want="\"$allUsers\\tolvane-service.exe\" --user $sid --schedule \"$local\\Tolvane\\rebootdata.kx\""
[ "$(image_path)" = "$want" ] || fail "ImagePath is $(image_path), not $want"
printf "service installed: %s\n" "$want"

uninstall "$unixAllUsers" "$machineKey"
"$WINE" sc query Tolvane >/dev/null 2>&1 </dev/null && fail "the service is still installed"
"$WINE" sc query TolvaneMachine >/dev/null 2>&1 </dev/null && fail "the machine's service is still installed"
find "$unixPublic" -path '*Start Menu/Programs/Tolvane*' | grep -q . &&
    fail "the all-users Start-menu entry is still there"
echo "uninstalled for all users, with both services"
