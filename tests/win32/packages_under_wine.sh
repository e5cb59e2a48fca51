#!/bin/sh
# The installer and the portable zip: the zip holds the program, the service
# program, its batch files and the help page in one folder; the installer, run
# silently under Wine as a plain user, puts them in the user's programs folder
# with a Start-menu entry and an uninstaller, and the uninstaller takes them
# away again, with the service when one was installed from that folder.
#
#   packages_under_wine.sh WINE-GUI SETUP.EXE PORTABLE.ZIP
set -u
gui=$1
installer=$2
portable=$3
eval "$("$gui" env)"
fail() {
    echo "FAILED: $*" >&2
    exit 1
}

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
menu=$("$WINE" winepath -u 'C:\users' 2>/dev/null </dev/null)
find "$menu" -path '*Start Menu/Programs/Tolvane/Tolvane.lnk' | grep -q . ||
    fail "no Start-menu entry"
printf "installed to %s with Start-menu entry and uninstall entry\n" "$target"

# The service installed from there (no schedule file beside it, so it never
# acts), for the uninstaller to remove.
service='HKLM\System\CurrentControlSet\Services\Tolvane'
# A failed run must not leave the service registered in the prefix.
# In one process: a Wine that starts afresh starts its automatic services again.
remove_service() {
    "$WINE" cmd /c 'sc delete Tolvane & sc stop Tolvane' >/dev/null 2>&1 </dev/null
}
trap remove_service EXIT
[ ! -e "$unixTarget/rebootdata.kx" ] || fail "a schedule file is in the installed folder"
"$WINE" "$unixTarget/installs.bat" >/dev/null 2>&1 </dev/null || fail "installs.bat failed"
"$WINE" reg query "$service" /v ImagePath 2>/dev/null </dev/null | tr -d '\r' |
    grep -qF "\"$target\\tolvane-service.exe\"" || fail "the service was not installed"
printf "service installed from %s\n" "$target"

# The uninstaller runs a copy of itself from the temporary folder and returns
# at once; wait for it to finish its work.
"$WINE" "$unixTarget/uninstall.exe" /S >/dev/null 2>&1 </dev/null
for _ in $(seq 100); do
    [ ! -e "$unixTarget" ] && break
    sleep 0.1
done
[ ! -e "$unixTarget" ] || fail "left behind: $(ls "$unixTarget")"
"$WINE" reg query "$key" >/dev/null 2>&1 </dev/null && fail "the uninstall entry is still there"
"$WINE" sc query Tolvane >/dev/null 2>&1 </dev/null && fail "the service is still installed"
find "$menu" -path '*Start Menu/Programs/Tolvane*' | grep -q . && fail "the Start-menu entry is still there"
echo "uninstalled"
