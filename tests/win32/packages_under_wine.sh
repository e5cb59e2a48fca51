#!/bin/sh
# The installer and the portable zip: the zip holds the program, the service
# program, its batch files and the help page in one folder; the installer, run
# silently under Wine as a plain user, puts them in the user's programs folder
# with a Start-menu entry and an uninstaller, and the uninstaller takes them
# away again, with the service (and its copy in Program Files) when one
# carries out that folder's schedule, and leaves one that carries out another
# folder's.
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

# The service's program goes to Program Files; its schedule stays with the
# window's. No schedule file is in either folder, so it never acts.
service='HKLM\System\CurrentControlSet\Services\Tolvane'
programFiles=$("$WINE" cmd /c 'echo %ProgramFiles%' 2>/dev/null </dev/null | tr -d '\r')
copy="$programFiles\\Tolvane\\tolvane-service.exe"
unixCopy=$("$WINE" winepath -u "$copy" 2>/dev/null </dev/null)
case "$unixCopy" in
    /?*/Tolvane/tolvane-service.exe) ;;
    *) fail "no Program Files folder: \"$programFiles\", \"$unixCopy\"" ;;
esac
# A failed run must not leave the service registered in the prefix.
# In one process: a Wine that starts afresh starts its automatic services again.
at_exit() {
    "$WINE" cmd /c 'sc delete Tolvane & sc stop Tolvane' >/dev/null 2>&1 </dev/null
    rm -rf "$(dirname "$unixCopy")"
}
image_path() {
    "$WINE" reg query "$service" /v ImagePath 2>/dev/null </dev/null | tr -d '\r' |
        sed -n 's/^ *ImagePath *REG_[A-Z_]* *//p'
}
# Runs the uninstaller, which runs a copy of itself from the temporary folder
# and returns at once, and waits for that copy to finish its work: taking
# away the uninstall entry is the last thing it does.
no_uninstall_entry() { ! "$WINE" reg query "$key" >/dev/null 2>&1 </dev/null; }
uninstall() {
    "$WINE" "$unixTarget/uninstall.exe" /S >/dev/null 2>&1 </dev/null
    wait_until no_uninstall_entry || fail "the uninstall entry is still there"
    [ ! -e "$unixTarget" ] || fail "left behind: $(ls "$unixTarget")"
}
no_schedules() {
    for file in "$@"; do
        [ ! -e "$file/rebootdata.kx" ] || fail "a schedule file is in $file"
    done
}

# A service that carries out another folder's schedule is not this
# installation's: the uninstaller leaves it alone.
otherFolder="$work/Tolvane (portable) & co"
mkdir -p "$otherFolder"
cp "$unixTarget/tolvane-service.exe" "$unixTarget/installs.bat" "$unixTarget/removeit.bat" \
    "$otherFolder/"
no_schedules "$otherFolder" "$(dirname "$unixCopy")"
"$WINE" "$otherFolder/installs.bat" >/dev/null 2>&1 </dev/null || fail "installs.bat failed"
# installs.bat records the user running it, as the program reads it.
sid=$("$WINE" "$otherFolder/tolvane-service.exe" --print-user 2>/dev/null </dev/null | tr -d '\r')
[ -n "$sid" ] || fail "--print-user wrote nothing"
otherWant="\"$copy\" --user $sid --schedule \"$("$WINE" winepath -w "$otherFolder" 2>/dev/null </dev/null |
    tr -d '\r')\\rebootdata.kx\""
[ "$(image_path)" = "$otherWant" ] || fail "ImagePath is $(image_path), not $otherWant"
uninstall
[ "$(image_path)" = "$otherWant" ] || fail "the other folder's service was removed: $(image_path)"
[ -f "$unixCopy" ] || fail "the other folder's service lost its program"
echo "uninstalling leaves a service that carries out another folder's schedule"
"$WINE" "$otherFolder/removeit.bat" >/dev/null 2>&1 </dev/null || fail "removeit.bat failed"
[ ! -e "$unixCopy" ] || fail "removeit.bat left $copy"

# The service installed from the installed folder, for the uninstaller to
# remove.
"$WINE" "$installer" /S >/dev/null 2>&1 </dev/null || fail "installer failed again"
no_schedules "$unixTarget" "$(dirname "$unixCopy")"
"$WINE" "$unixTarget/installs.bat" >/dev/null 2>&1 </dev/null || fail "installs.bat failed"
want="\"$copy\" --user $sid --schedule \"$target\\rebootdata.kx\""
[ "$(image_path)" = "$want" ] || fail "ImagePath is $(image_path), not $want"
cmp -s "$unixTarget/tolvane-service.exe" "$unixCopy" || fail "no copy of the program in $copy"
printf "service installed: %s\n" "$want"

uninstall
"$WINE" sc query Tolvane >/dev/null 2>&1 </dev/null && fail "the service is still installed"
# removeit.bat takes the copy away after the service itself (where it has
# to ask for administrator rights, in a second copy the uninstaller does not
# wait for).
copy_gone() { [ ! -e "$(dirname "$unixCopy")" ]; }
wait_until copy_gone || fail "left in Program Files: $(ls -A "$(dirname "$unixCopy")")"
find "$menu" -path '*Start Menu/Programs/Tolvane*' | grep -q . && fail "the Start-menu entry is still there"
echo "uninstalled, with the service and its copy in Program Files"
