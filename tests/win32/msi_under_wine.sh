#!/bin/sh
# The Windows Installer package, read with msitools and then installed and
# removed silently by Wine's msiexec, in a Wine prefix of its own made fresh
# in the scratch folder:
#  - its tables hold the program's files, the machine's schedule service as
#    the program registers it (on the service program's file), the event log
#    source, the icon and the product's properties;
#  - "msiexec /i PACKAGE /qn" puts the files the build made in
#    C:\Program Files\Tolvane, registers the service "TolvaneMachine" with
#    the program's path quoted and starts it, writes the event log source,
#    the Start-menu entry and the uninstall entry; the running service makes
#    %ProgramData%\Tolvane itself; into another folder than Program Files
#    it fails and leaves nothing;
#  - a rebuilt package of the same version (another product code) replaces
#    it: one uninstall entry, the service running again, and a user's own
#    service (installs.bat) kept;
#  - "msiexec /x PRODUCT-CODE /qn" takes both services, the files, the
#    folder, the event log source and the entries away again, and leaves
#    the prefix's files and registry keys as they were before, but for the
#    administrators' schedule in %ProgramData%\Tolvane, which stays byte for
#    byte.
# The run's times are printed.
#
#   msi_under_wine.sh WINE WINESERVER PACKAGE.msi VERSION
set -u
WINE=$1
WINESERVER=$2
msi=$3
version=$4
. "$(dirname "$0")/under_wine.sh"
. "$(dirname "$0")/wine_prefix.sh"
[ -f "$msi" ] || fail "no package $msi"
# The files the build put in the package, beside it.
built="$(dirname "$msi")/msi-files"
icon="$(dirname "$0")/../../resources/win32/tolvane.ico"

# ---- The package's tables ----
tables=$(msiinfo tables "$msi") || fail "msiinfo cannot read $msi"
for table in Property File Component Directory Feature FeatureComponents Media ServiceInstall \
             ServiceControl Registry Icon Shortcut CustomAction Upgrade InstallExecuteSequence; do
    printf '%s\n' "$tables" | grep -qx "$table" || fail "no $table table in: $tables"
done
echo "tables: $(printf '%s\n' "$tables" | sort | tr '\n' ' ')"
# Rows of a table, without its three lines of column names and types.
rows() { msiinfo export "$msi" "$1" | tr -d '\r' | tail -n +4; }
tab=$(printf '\t')
property() { rows Property | sed -n "s/^$1$tab//p"; }
for pair in "ProductVersion=$version" Manufacturer=Quarnel ProductName=Tolvane ALLUSERS=1 \
            ARPNOMODIFY=1 ARPNOREPAIR=1; do
    [ "$(property "${pair%%=*}")" = "${pair#*=}" ] ||
        fail "property ${pair%%=*} is \"$(property "${pair%%=*}")\", not ${pair#*=}"
done
productCode=$(property ProductCode)
printf '%s\n' "$productCode" | grep -qE '^\{[0-9A-F]{8}(-[0-9A-F]{4}){3}-[0-9A-F]{12}\}$' ||
    fail "no product code: $productCode"
msiinfo suminfo "$msi" | grep -qx 'Template: x64;1033' || fail "not a 64-bit package"
rows Icon | cut -f1 | grep -qxF "$(property ARPPRODUCTICON)" || fail "ARPPRODUCTICON names no icon"

# The files: the same as the zip and the NSIS installer hold, each once.
names=$(rows File | cut -f3 | sed 's/^.*|//' | sort | tr '\n' ' ')
[ "$names" = "installs.bat removeit.bat tolvane-service.exe tolvane.exe tolvane.htm " ] ||
    fail "the package holds: $names"
# The service as the program registers it: own process (16), automatic
# start (2), normal errors (1), LocalSystem, "--machine" after the path; on
# the component whose key is the service program itself.
row=$(rows ServiceInstall | awk -F "$tab" '$2 == "TolvaneMachine"')
[ -n "$row" ] || fail "no ServiceInstall row for TolvaneMachine: $(rows ServiceInstall)"
field() { printf '%s\n' "$row" | cut -f"$1"; }
for check in "3=Tolvane (machine schedule)" 4=16 5=2 6=1 9=LocalSystem 11=--machine; do
    [ "$(field "${check%%=*}")" = "${check#*=}" ] ||
        fail "ServiceInstall column ${check%%=*} is \"$(field "${check%%=*}")\", not ${check#*=}"
done
field 13 | grep -qF "%ProgramData%\\Tolvane\\rebootdata.kx" || fail "the description: $(field 13)"
keyFile=$(rows Component | awk -F "$tab" -v c="$(field 12)" '$1 == c { print $6 }')
rows File | awk -F "$tab" -v f="$keyFile" '$1 == f { print $3 }' | grep -qx 'tolvane-service.exe' ||
    fail "the service is on component $(field 12), whose key file is $keyFile"
# Started at installation (1), stopped (2, 32) and deleted (128) at removal.
events=$(rows ServiceControl | awk -F "$tab" '$2 == "TolvaneMachine" { print $3 }')
if [ -z "$events" ] || [ $((events & 163)) -ne 163 ]; then
    fail "TolvaneMachine's control events: $events"
fi
echo "package $(basename "$msi"): product $productCode, service TolvaneMachine \"$(field 11)\""

# ---- A prefix of its own, with no display ----
unset DISPLAY WAYLAND_DISPLAY
wine_environment "$work"
begun=$(date +%s)
ready_prefix || fail "wineboot failed"
# A server that stays (see start_server); this prefix's programs end with it.
start_server msi_under_wine
at_exit() { end_server; }
echo "prefix ready in $(($(date +%s) - begun)) s"

# A Windows program's output (through a file: Wine's helpers that a
# program starts may keep a pipe open); its status is the program's.
w() {
    "$WINE" "$@" >"$work/wine.out" 2>/dev/null </dev/null
    w_status=$?
    tr -d '\r' <"$work/wine.out"
    return $w_status
}
# Value $2 of key $1 as "TYPE DATA", or nothing.
value() { w reg query "$1" /v "$2" | sed -n "s/^ *$2 *\(REG_[A-Z_]*\) *\(.*\)\$/\1 \2/p"; }
has_key() { "$WINE" reg query "$1" >/dev/null 2>&1 </dev/null; }
# The service manager, started once now so its own start is not in the
# first comparison below.
w sc query TolvaneMachine >/dev/null

programFiles=$(w cmd /c 'echo %ProgramFiles%')
programData=$(w cmd /c 'echo %ProgramData%')
folder="$programFiles\\Tolvane"
unixFolder=$("$WINE" winepath -u "$folder" 2>/dev/null </dev/null)
unixHome="$("$WINE" winepath -u "$programData" 2>/dev/null </dev/null)/Tolvane"
case "$unixFolder" in /?*/Tolvane) ;; *) fail "no Program Files folder: \"$unixFolder\"" ;; esac
winMsi=$("$WINE" winepath -w "$msi" 2>/dev/null </dev/null)
service='HKLM\System\CurrentControlSet\Services\TolvaneMachine'
userService='HKLM\System\CurrentControlSet\Services\Tolvane'
eventSource='HKLM\System\CurrentControlSet\Services\EventLog\Application\Tolvane'
uninstallKeys='HKLM\Software\Microsoft\Windows\CurrentVersion\Uninstall'

# What the prefix holds: its files, and its registry's keys where a package
# writes (the software's, the services'; Wine adds devices on its own).
snapshot() {
    (cd "$WINEPREFIX/drive_c" && find . | sort) >"$work/$1.files"
    : >"$work/$1.keys"
    for root in HKLM HKCU; do
        "$WINE" reg export "$root" "$(w winepath -w "$work/$1.$root.reg")" /y \
            >/dev/null 2>&1 </dev/null || fail "reg export $root failed"
        iconv -f UTF-16 -t UTF-8 "$work/$1.$root.reg" | tr -d '\r' | grep '^\[' >>"$work/$1.keys"
    done
    grep -E '^\[HKEY_(LOCAL_MACHINE\\(Software|System\\CurrentControlSet\\Services)|CURRENT_USER\\Software)(\\|\])' \
        "$work/$1.keys" | sort >"$work/$1.sorted"
    mv "$work/$1.sorted" "$work/$1.keys"
}
snapshot before
[ -s "$work/before.keys" ] || fail "the registry's keys could not be read"

# ---- Installation ----
# Elsewhere than in Program Files the service program refuses to register
# the service: the installation fails and is undone.
"$WINE" msiexec /i "$winMsi" INSTALLDIR='C:\Tolvane' /qn >"$work/out.log" 2>&1 </dev/null &&
    fail "msiexec /i into C:\Tolvane succeeded"
[ ! -e "$WINEPREFIX/drive_c/Tolvane" ] || fail "the failed installation left C:\Tolvane"
w sc query TolvaneMachine >/dev/null && fail "the failed installation left the service"
has_key "$uninstallKeys\\$productCode" && fail "the failed installation left its uninstall entry"
printf 'an installation into C:\\Tolvane fails and is undone: %s\n' "$(tr -d '\r' <"$work/out.log" | head -n 1)"

begun=$(date +%s)
"$WINE" msiexec /i "$winMsi" /qn >"$work/out.log" 2>&1 </dev/null
status=$?
[ $status -eq 0 ] || fail "msiexec /i ended with $status"
echo "installed in $(($(date +%s) - begun)) s"
for name in tolvane.exe tolvane-service.exe tolvane.htm installs.bat removeit.bat; do
    cmp -s "$unixFolder/$name" "$built/$name" || fail "$folder\\$name is not the one the build made"
done
[ "$(ls "$unixFolder" | wc -l)" -eq 5 ] || fail "$folder holds: $(ls "$unixFolder")"

# The service, quoted, and running; it makes the machine's schedule folder.
want="\"$folder\\tolvane-service.exe\" --machine"
running() { w sc query "$1" | grep -q 'STATE *: *4 *RUNNING'; }
registered() {
    # The service manager writes the path as REG_SZ or REG_EXPAND_SZ.
    for check in "ImagePath=REG_[A-Z_]*SZ $want" 'Start=REG_DWORD 0x2' 'Type=REG_DWORD 0x10' \
                 'ObjectName=REG_SZ LocalSystem' 'DisplayName=REG_SZ Tolvane (machine schedule)'; do
        got=$(value "$service" "${check%%=*}")
        printf '%s\n' "$got" | grep -qx -- "$(printf '%s' "${check#*=}" | sed 's/[\\.]/\\&/g')" ||
            fail "$1 the service's ${check%%=*} is \"$got\", not ${check#*=}"
    done
    wait_until running TolvaneMachine || fail "$1 the service does not run: $(w sc query TolvaneMachine)"
}
registered "installed,"
made() { [ -d "$unixHome/state" ]; }
wait_until made || fail "the running service did not make $programData\\Tolvane\\state"
[ "$(value "$eventSource" EventMessageFile)" = "REG_EXPAND_SZ $folder\\tolvane-service.exe" ] ||
    fail "the event log source's message file is \"$(value "$eventSource" EventMessageFile)\""
[ "$(value "$eventSource" TypesSupported)" = "REG_DWORD 0x7" ] ||
    fail "the event log source's types are \"$(value "$eventSource" TypesSupported)\""
printf 'service running: %s, event log source written\n' "$(value "$service" ImagePath)"

# Add/Remove Programs: the product's entry. Wine writes no DisplayIcon there;
# the icon is the product's, kept by Windows Installer.
arp="$uninstallKeys\\$productCode"
entry_is() {
    [ "$(value "$arp" "$1")" = "$2" ] || fail "the uninstall entry's $1 is \"$(value "$arp" "$1")\", not $2"
}
entry_is DisplayName 'REG_SZ Tolvane'
entry_is DisplayVersion "REG_SZ $version"
entry_is Publisher 'REG_SZ Quarnel'
entry_is InstallLocation "REG_SZ $folder\\"
entry_is NoModify 'REG_DWORD 0x1'
entry_is NoRepair 'REG_DWORD 0x1'
entry_is UninstallString "REG_EXPAND_SZ MsiExec.exe /X$productCode"
# A product's key under Installer\Products is its code's hex digits: the
# first three groups each reversed, then the last sixteen two by two swapped.
hex=$(printf '%s\n' "$productCode" | tr -d '{}-')
part() { printf '%s\n' "$hex" | cut -c"$1"; }
packed="$(part 1-8 | rev)$(part 9-12 | rev)$(part 13-16 | rev)$(part 17-32 | sed -E 's/(.)(.)/\2\1/g')"
products="HKLM\\Software\\Classes\\Installer\\Products\\$packed"
productIcon=$(value "$products" ProductIcon | sed -n 's/^REG_SZ //p')
[ -n "$productIcon" ] || fail "no ProductIcon for $productCode under $products"
cmp -s "$("$WINE" winepath -u "$productIcon" 2>/dev/null </dev/null)" "$icon" ||
    fail "the product's icon $productIcon is not Tolvane's"
size=$(value "$arp" EstimatedSize)
menu=$(find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Tolvane/Tolvane.lnk')
[ -n "$menu" ] || fail "no Start-menu entry"
printf 'uninstall entry %s: Tolvane %s, Quarnel, icon %s; EstimatedSize as Wine writes it: %s\n' \
    "$productCode" "$version" "$productIcon" "${size:-none}"
printf 'Start-menu entry: %s\n' "${menu#"$WINEPREFIX/"}"

# ---- The administrators' schedule, and a user's own service ----
schedule="$unixHome/rebootdata.kx"
printf '%s\r\n%s\r\n' '3:00 AM-LogOff-Repeat NO-Every Day' '4:15 AM-Reboot-Repeat YES-Every Day' \
    >"$schedule"
cp "$schedule" "$work/schedule.before"
# installs.bat registers the user's own service from the installation.
user_service() {
    w cmd /c "$folder\\installs.bat" >"$work/out.log" || fail "installs.bat failed"
    printf '%s\n' "$(value "$userService" ImagePath)" |
        grep -qF "\"$folder\\tolvane-service.exe\" --user " ||
        fail "installs.bat registered \"$(value "$userService" ImagePath)\""
}
user_service
printf "a user's service: %s\n" "$(value "$userService" ImagePath)"

# ---- A rebuilt package of the same version replaces it ----
# The same package with another product code and package code, as the next
# build makes it.
rebuilt="$work/rebuilt.msi"
cp "$msi" "$rebuilt"
uuid() { tr a-f A-F </proc/sys/kernel/random/uuid; }
newCode=$(uuid)
msibuild "$rebuilt" -q "UPDATE Property SET Value='{$newCode}' WHERE Property='ProductCode'" ||
    fail "msibuild could not change the product code"
msibuild "$rebuilt" -s Tolvane Quarnel 'x64;1033' "{$(uuid)}" ||
    fail "msibuild could not change the package code"
begun=$(date +%s)
"$WINE" msiexec /i "$(w winepath -w "$rebuilt")" /qn >"$work/out.log" 2>&1 </dev/null
status=$?
[ $status -eq 0 ] || fail "msiexec /i of the rebuilt package ended with $status"
echo "replaced by the rebuilt package in $(($(date +%s) - begun)) s"
has_key "$arp" && fail "the replaced product's uninstall entry is still there"
has_key "$uninstallKeys\\{$newCode}" || fail "no uninstall entry for the rebuilt package"
[ "$(w reg query "$uninstallKeys" /s | grep -c 'DisplayName *REG_SZ *Tolvane$')" -eq 1 ] ||
    fail "not one uninstall entry for Tolvane"
registered "after the replacement"
echo "one product after the replacement, the service running"
# Windows Installer tells the replaced product's removal that it is one
# (UPGRADINGPRODUCTCODE), and the user's service stays; Wine's does not, and
# it goes. Said, not checked: it is Wine's doing. The removal below then
# has one to remove again.
if has_key "$userService"; then
    echo "the user's service after the replacement: kept"
else
    echo "the user's service after the replacement: removed (Wine's msiexec gives the replaced product's removal no UPGRADINGPRODUCTCODE)"
    user_service
fi
productCode="{$newCode}"
arp="$uninstallKeys\\$productCode"

# ---- Removal ----
begun=$(date +%s)
"$WINE" msiexec /x "$productCode" /qn >"$work/out.log" 2>&1 </dev/null
status=$?
[ $status -eq 0 ] || fail "msiexec /x ended with $status"
echo "removed in $(($(date +%s) - begun)) s"
for name in TolvaneMachine Tolvane; do
    w sc query "$name" >/dev/null && fail "the service $name is still there: $(w sc query "$name")"
done
for key in "$service" "$userService" "$eventSource" "$arp"; do
    has_key "$key" && fail "$key is still there"
done
[ ! -e "$unixFolder" ] || fail "left in $folder: $(ls -A "$unixFolder")"
find "$WINEPREFIX/drive_c" -path '*/Start Menu/Programs/Tolvane*' | grep -q . &&
    fail "the Start-menu entry is still there"
cmp -s "$schedule" "$work/schedule.before" || fail "the machine's schedule did not stay as it was"

# Nothing else of ours is left: the files and keys are those from before,
# but for the administrators' folder in ProgramData, Windows Installer's own
# folder (C:\windows\Installer, empty) and keys, and what Wine's cmd leaves
# in the temporary folder (for installs.bat's "for /f").
snapshot after
diff "$work/before.files" "$work/after.files" | grep '^[<>]' |
    grep -v -e '^> \./ProgramData/Tolvane\(/.*\)\{0,1\}$' -e '^> \./windows/Installer$' \
            -e '^> \./users/[^/]*/Temp/CMD[0-9a-fA-F]*\.tmp$' >"$work/files.diff"
[ -s "$work/files.diff" ] && fail "the prefix's files differ: $(cat "$work/files.diff")"
# Windows Installer's own keys (empty once no product is left) and Wine's
# "Temporary System Parameters" may be new. Wine's Windows Installer also
# deletes the keys above a key it removes while they are left empty: in a
# fresh prefix that is the Application event log's (on Windows it holds
# other sources).
diff "$work/before.keys" "$work/after.keys" | grep '^[<>]' >"$work/keys.diff"
installer='Installer(\\(Features|Products|UpgradeCodes|UserData(\\S-1-5-18(\\(Components|Products))?)?))?'
grep -v -E -e "^> \[HKEY_LOCAL_MACHINE\\\\Software\\\\(Classes|Microsoft\\\\Windows\\\\CurrentVersion)\\\\$installer\]\$" \
    -e '^> \[HKEY_CURRENT_USER\\Software\\Wine\\Temporary System Parameters(\\|\])' \
    -e '^< \[HKEY_LOCAL_MACHINE\\System\\CurrentControlSet\\Services\\Eventlog\\Application\]$' \
    "$work/keys.diff" >"$work/ours.diff"
[ -s "$work/ours.diff" ] && fail "the prefix's registry keys differ: $(cat "$work/ours.diff")"
# Nor does any key or value name the program or its product.
for root in HKLM HKCU; do
    iconv -f UTF-16 -t UTF-8 "$work/after.$root.reg" |
        grep -i -e tolvane -e "$packed" -e "${productCode#\{}" >"$work/left.txt" &&
        fail "left in $root: $(cat "$work/left.txt")"
done
echo "removed: both services, the files, the folder, the event log source and the entries;"
printf '  kept: %s (%s), the schedule byte for byte\n' "$programData\\Tolvane" "$(ls "$unixHome" | tr '\n' ' ')"
if [ -s "$work/keys.diff" ]; then
    echo "  registry keys that differ as allowed (> new, < gone):"
    sed 's/^/    /' "$work/keys.diff"
fi
echo "the Windows Installer package under Wine: all checks passed"
