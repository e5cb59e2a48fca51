#!/bin/bash
# shellcheck disable=SC2016 # the $ in single quotes is part of a path
# installs.sh and removeit.sh from a folder whose path holds a space: the unit
# they write, the systemctl calls they make (a stand-in records them), the
# inputs they refuse before root writes anything (a schedule path that would
# become lines or words of the unit, a schedule folder that is not the
# user's own, a program others could change), the reading back of the unit
# before it is put in place and, for a user who is not root, the way they ask
# for rights (a stand-in pkexec).
#
#   service_scripts_test.sh INSTALLS.SH REMOVEIT.SH
set -u
installs=$1
removeit=$2
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root to test both ways"; exit 77; }

# installs.sh takes the user's home from the passwd database. The test's users
# get theirs in a mount namespace of the test's own: a passwd file and a /home
# bound over the machine's, seen by this test's processes only and gone with
# them, so the machine's users, homes and files are neither used nor changed.
if [ "${TOLVANE_SCRIPTS_NAMESPACE-}" != yes ]; then
    unshare --mount --propagation private true 2>/dev/null ||
        { echo "skipped: needs a mount namespace of its own"; exit 77; }
    exec env TOLVANE_SCRIPTS_NAMESPACE=yes unshare --mount --propagation private \
        bash "$0" "$@"
fi

# shellcheck source=test_scratch.sh
source "$(dirname "$0")/test_scratch.sh" scripts
# Every folder above the program is root's alone (/tmp is sticky), as
# installs.sh demands.
chmod 755 "$work"
program="$work/pro gram"
mkdir -p "$program" "$work/bin" "$work/units" "$work/homes" "$work/lenient"
cp "$installs" "$removeit" "$program/"
printf '#!/bin/sh\nexit 0\n' >"$program/tolvane-service"
chmod 755 "$program/tolvane-service"
for stand_in in systemctl pkexec; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/calls"\n' "$stand_in" "$work" >"$work/bin/$stand_in"
    chmod 755 "$work/bin/$stand_in"
done
# A systemd-analyze that finds nothing wrong with any unit: with it, only
# installs.sh's own reading of the unit stands between a bad unit and root.
printf '#!/bin/sh\nexit 0\n' >"$work/lenient/systemd-analyze"
chmod 755 "$work/lenient/systemd-analyze"
copies="$work/lib"
unit="$work/units/tolvane.service"
run() {
    env -i PATH="$work/bin:/usr/bin:/bin" TOLVANE_UNIT_DIR="$work/units" \
        TOLVANE_SERVICE_DIR="$copies" "$@"
}

# The users: one whose home has characters systemd treats specially, one whose
# home is in a system folder (/tmp), one whose home is "/".
free_uid() {
    local uid=$1
    while getent passwd "$uid" >/dev/null; do uid=$((uid + 1)); done
    echo "$uid"
}
user=$(free_uid 61000)
system_user=$(free_uid $((user + 1)))
rootless_user=$(free_uid $((system_user + 1)))
home='/home/tolvane "50%" $x \ü'
system_home="$work/system home"
cp /etc/passwd "$work/passwd"
{
    echo "tolvane-test:x:$user:$user::$home:/usr/sbin/nologin"
    echo "tolvane-system:x:$system_user:$system_user::$system_home:/usr/sbin/nologin"
    echo "tolvane-rootless:x:$rootless_user:$rootless_user::/:/usr/sbin/nologin"
} >>"$work/passwd"
mount --bind "$work/passwd" /etc/passwd || fail "could not bind a passwd file"
mount --bind "$work/homes" /home || fail "could not bind a folder over /home"
[ "$(getent passwd "$user" | cut -d: -f6)" = "$home" ] ||
    fail "the passwd database does not read the test's file (nscd?)"
mkdir -p "$home" "$system_home"
chown "$user:$user" "$home"
chown "$system_user:$system_user" "$system_home"
schedule="$home/.local/share/tolvane/rebootdata.kx"

# What a refusal leaves: exit status 2, one line saying why, and nothing
# written (no unit, no file beside it, no systemctl call, no copy of the
# program, nothing made in the user's home).
refused() {
    local what=$1
    shift
    local status=0 before after
    rm -f "$unit" "$work/calls"
    before=$(find /home "$system_home" | sort)
    run "$@" >/dev/null 2>"$work/err" || status=$?
    after=$(find /home "$system_home" | sort)
    [ "$status" -eq 2 ] || fail "$what: installs.sh ended with $status"
    [ "$(wc -l <"$work/err")" -eq 1 ] || fail "$what: not one line: $(cat "$work/err")"
    [ -z "$(ls -A "$work/units")" ] || fail "$what: a unit was written: $(ls -A "$work/units")"
    [ ! -e "$work/calls" ] || fail "$what: systemctl was called: $(cat "$work/calls")"
    [ ! -e "$copies" ] || fail "$what: the program was copied"
    [ "$before" = "$after" ] || fail "$what: a folder was made: $(diff <(echo "$before") <(echo "$after"))"
}

# As root through pkexec, with the characters systemd treats specially: each
# setting holds them as systemd reads them.
run PKEXEC_UID="$user" sh "$program/installs.sh" --schedule "$schedule" >/dev/null 2>"$work/err" ||
    fail "installs.sh failed: $(cat "$work/err")"
[ -f "$unit" ] || fail "no unit written"
line=$(grep '^ExecStart=' "$unit")
want="ExecStart=\"$program/tolvane-service\" --schedule"
want+=' "/home/tolvane \"50%%\" $$x \\ü/.local/share/tolvane/rebootdata.kx"'" --user $user"
[ "$line" = "$want" ] || fail "unit has $line, expected $want"
line=$(grep '^ReadWritePaths=' "$unit")
want='ReadWritePaths="-/home/tolvane \"50%%\" $x \\ü/.local/share/tolvane"'
[ "$line" = "$want" ] || fail "unit has $line, expected $want"
[ "$(stat -c %u "$home/.local/share/tolvane")" = "$user" ] || fail "the schedule's folder is not the user's"
[ "$(ls -A "$work/units")" = tolvane.service ] || fail "left beside the unit: $(ls -A "$work/units")"
[ ! -e "$copies" ] || fail "a program only root can change was copied"
# How systemd itself reads the unit back, and how much it leaves exposed.
command -v systemd-analyze >/dev/null || fail "systemd-analyze is missing"
{
    shown=$(systemd-analyze verify "$unit" 2>&1 | grep -iE 'ignoring|fatal|bad unit|invalid|unknown')
    [ -z "$shown" ] || fail "systemd reads the unit with: $shown"
    score=$(systemd-analyze security --offline=true "$unit" 2>&1 |
        sed -n 's/.*Overall exposure level for tolvane.service: \([0-9.]*\).*/\1/p')
    [ -n "$score" ] || fail "no exposure score for the unit"
    awk -v s="$score" 'BEGIN { exit !(s <= 2.0) }' || fail "the unit's exposure is $score, above 2.0"
    echo "the unit's exposure score: $score"
}
# Limits that keep the machine responsive whatever the service meets.
for setting in CPUQuota=20% IOWeight=10 Nice=10 IOSchedulingClass=idle MemoryMax=32M; do
    grep -qxF "$setting" "$unit" || fail "the unit lacks $setting"
done
grep -q '^WantedBy=multi-user.target$' "$unit" || fail "the unit is not started at boot"
[ "$(cat "$work/calls")" = "$(printf 'systemctl daemon-reload\nsystemctl enable --now tolvane.service')" ] ||
    fail "calls: $(cat "$work/calls")"

# Through sudo, without a schedule: the user's own, under the user's home.
rm "$unit" "$work/calls"
run SUDO_UID="$user" sh "$program/installs.sh" >/dev/null || fail "installs.sh through sudo failed"
grep -qxF "ExecStart=\"$program/tolvane-service\" --schedule \"/home/tolvane \\\"50%%\\\" \$\$x \\\\ü/.local/share/tolvane/rebootdata.kx\" --user $user" "$unit" ||
    fail "through sudo: $(grep '^ExecStart=' "$unit")"

# Never for root, nor for what is not a user, nor for a user without a home.
for who in "" PKEXEC_UID=0 SUDO_UID=0 PKEXEC_UID=abc PKEXEC_UID=4242424; do
    refused "with '$who'" $who sh "$program/installs.sh" --schedule "$schedule"
done
refused "a user whose home is /" PKEXEC_UID="$rootless_user" sh "$program/installs.sh" \
    --schedule /x/rebootdata.kx

# A schedule path that would not stay one word of one line of the unit is
# refused before anything is made: the newline attack that added
# "Also=debug-shell.service" to [Install], other control characters, bytes
# that are not UTF-8, names that lead out of the folder they seem to be in.
long=$(printf 'a%.0s' $(seq 1 5000))
for bad in \
    "$home/y"$'\n[Install]\nAlso=debug-shell.service\n#/rebootdata.kx' \
    $'/home/u/y\n[Install]\nAlso=debug-shell.service\n#/rebootdata.kx' \
    "$home/a"$'\t'"b/rebootdata.kx" \
    "$home/a"$'\r'"b/rebootdata.kx" \
    "$home/a"$'\e'"b/rebootdata.kx" \
    "$home/a"$'\x7f'"b/rebootdata.kx" \
    "$home/a"$'\x01'"b/rebootdata.kx" \
    "$home/rebootdata.kx"$'\n' \
    "$home/"$'\xff\xfe'"/rebootdata.kx" \
    "$home/../../etc/tolvane/rebootdata.kx" \
    "$home/./x/rebootdata.kx" \
    "$home//x/rebootdata.kx" \
    "$home/x/" \
    "rebootdata.kx" \
    "$home/$long/rebootdata.kx"; do
    refused "the schedule $(printf '%q' "$bad")" PKEXEC_UID="$user" sh "$program/installs.sh" --schedule "$bad"
done
# The same from the user's side: XDG_DATA_HOME goes along through pkexec.
rm -f "$work/calls"
chmod -R a+rX "$work"
status=0
run HOME=/home/nobody XDG_DATA_HOME=$'/home/nobody/y\n[Install]\nAlso=debug-shell.service\n#' \
    setpriv --reuid=65534 --regid=65534 --clear-groups sh "$program/installs.sh" 2>/dev/null || status=$?
[ "$status" -eq 2 ] || fail "a control character from XDG_DATA_HOME: installs.sh ended with $status"
[ ! -e "$work/calls" ] || fail "a control character from XDG_DATA_HOME went to pkexec"

# The schedule's folder is the unit's one writable place: only a folder of the
# user's own inside the user's home, reached without links.
mkdir -p "$work/elsewhere" "$home/root's" "$home/others" "$home/real"
chown "$user" "$work/elsewhere" "$home/real"
chown 65534 "$home/others"
ln -s "$work/elsewhere" "$home/link"
ln -s "$home/real" "$home/inner"
chown -h "$user" "$home/link" "$home/inner"
touch "$home/file" && chown "$user" "$home/file"
for bad in /rebootdata.kx /etc/rebootdata.kx /home/rebootdata.kx "$work/elsewhere/rebootdata.kx" \
    "$home/root's/rebootdata.kx" "$home/others/rebootdata.kx" "$home/link/rebootdata.kx" \
    "$home/inner/rebootdata.kx" "$home/file/rebootdata.kx"; do
    refused "the schedule $bad" PKEXEC_UID="$user" sh "$program/installs.sh" --schedule "$bad"
done
refused "a home in /tmp" PKEXEC_UID="$system_user" sh "$program/installs.sh" \
    --schedule "$system_home/rebootdata.kx"

# Root runs only what only root can change: the program, installs.sh itself
# and every folder above them; the unit goes only where only root writes. A
# user's build is never copied, whatever TOLVANE_SERVICE_DIR says.
had_local_copy=$([ -e /usr/local/lib/tolvane ] && echo yes || echo no)
fresh="$home/fresh/rebootdata.kx"
exposed() {
    refused "$1" PKEXEC_UID="$user" sh "$program/installs.sh" --schedule "$fresh"
}
chmod 777 "$program"; exposed "a program folder others can write"; chmod 755 "$program"
chmod 775 "$work"; exposed "a folder above the program others can write"; chmod 755 "$work"
chown "$user" "$program/tolvane-service"; exposed "a program of the user's"
chown 0 "$program/tolvane-service"
chown "$user" "$program/installs.sh"; exposed "an installs.sh of the user's"
chown 0 "$program/installs.sh"
mv "$program/tolvane-service" "$work/service"
cp "$work/service" "$home/real/tolvane-service"
ln -s "$home/real/tolvane-service" "$program/tolvane-service"
exposed "a program linked to the user's home"
rm "$program/tolvane-service"
exposed "no program"
mv "$work/service" "$program/tolvane-service"
chmod 777 "$work/units"; exposed "a unit folder others can write"; chmod 755 "$work/units"
[ "$had_local_copy" = "$([ -e /usr/local/lib/tolvane ] && echo yes || echo no)" ] ||
    fail "something was made in /usr/local/lib/tolvane"

# The unit is read back before it is put in place. A writer that lets a
# newline through, leaves a "$" or a "%" for systemd to expand or adds a line
# is caught by installs.sh's own reading even when systemd-analyze finds
# nothing.
variant="$work/variant"
mkdir "$variant"
cp "$program/tolvane-service" "$variant/"
original=$(cat "$program/installs.sh")
faulty() {
    printf '%s\n' "$2" >"$variant/installs.sh"
    [ "$2" != "$original" ] || fail "$1: the fault was not made (installs.sh changed?)"
    local analyze status
    for analyze in lenient real; do
        rm -f "$unit" "$work/calls"
        status=0
        env -i PATH="$([ $analyze = lenient ] && echo "$work/lenient:")$work/bin:/usr/bin:/bin" \
            TOLVANE_UNIT_DIR="$work/units" PKEXEC_UID="$user" \
            sh "$variant/installs.sh" --schedule "$3" >/dev/null 2>"$work/err" || status=$?
        [ "$status" -eq 2 ] || fail "$1, $analyze systemd-analyze: installs.sh ended with $status"
        [ "$(wc -l <"$work/err")" -eq 1 ] || fail "$1, $analyze systemd-analyze: $(cat "$work/err")"
        [ $analyze = real ] || grep -q 'does not read back' "$work/err" ||
            fail "$1: not refused by installs.sh's reading: $(cat "$work/err")"
        [ -z "$(ls -A "$work/units")" ] || fail "$1, $analyze systemd-analyze: a unit was written"
        [ ! -e "$work/calls" ] || fail "$1, $analyze systemd-analyze: systemctl was called"
    done
}
unchecked='check_path() { return 0; }; unused() {'
faulty "no check of the path" "${original/"check_path() {"/"$unchecked"}" \
    "$home/y"$'\n[Install]\nAlso=debug-shell.service\n#/rebootdata.kx'
dollars=" -e 's/\\\$/\$\$/g'"
faulty "no \$\$ in ExecStart" "${original//"$dollars"/}" "$schedule"
percents=" -e 's/%/%%/g')\""
closing=')"'
faulty "no %% in ReadWritePaths" "${original//"$percents"/"$closing"}" "$schedule"
# Lines a writer could add that systemd reads without a complaint.
last=$'WantedBy=multi-user.target\nUNIT'
also=$'WantedBy=multi-user.target\nAlso=debug-shell.service\nUNIT'
faulty "an Also= in [Install]" "${original/"$last"/"$also"}" "$schedule"
again=$'WantedBy=multi-user.target\n[Install]\nWantedBy=multi-user.target\nUNIT'
faulty "a second [Install]" "${original/"$last"/"$again"}" "$schedule"
pre=$'Restart=on-failure\nExecStartPre=/bin/true'
faulty "an ExecStartPre=" "${original/Restart=on-failure/"$pre"}" "$schedule"

# Removal: the unit, and a lone copy an older installs.sh made; never an
# installed Tolvane (cmake --install puts one where the copies went), never a
# folder others than root could change.
run PKEXEC_UID="$user" sh "$program/installs.sh" --schedule "$schedule" >/dev/null ||
    fail "installs.sh failed"
rm "$work/calls"
mkdir -m 755 "$copies"
cp "$program/tolvane-service" "$copies/"
run sh "$program/removeit.sh" >/dev/null || fail "removeit.sh failed"
[ ! -e "$unit" ] || fail "the unit is still there"
[ "$(cat "$work/calls")" = "$(printf 'systemctl disable --now tolvane.service\nsystemctl daemon-reload')" ] ||
    fail "calls: $(cat "$work/calls")"
[ ! -e "$copies" ] || fail "the old copy is still there"
mkdir -m 755 "$copies"
cp "$program/tolvane-service" "$program/installs.sh" "$copies/"
run sh "$program/removeit.sh" >/dev/null || fail "removeit.sh failed without a unit"
[ -e "$copies/tolvane-service" ] || fail "removeit.sh removed an installed program"
rm "$copies/installs.sh"
chmod 777 "$copies"
run sh "$program/removeit.sh" >/dev/null || fail "removeit.sh failed without a unit"
[ -e "$copies/tolvane-service" ] || fail "removeit.sh worked in a folder others can write"
rm -r "$copies"

# Not root: the scripts hand over to pkexec with the caller's schedule.
rm -f "$work/calls"
chmod -R a+rX "$work"
touch "$work/calls" && chmod 666 "$work/calls"
run HOME=/home/nobody setpriv --reuid=65534 --regid=65534 --clear-groups \
    sh "$program/installs.sh" || fail "installs.sh as a user failed"
run HOME=/home/nobody setpriv --reuid=65534 --regid=65534 --clear-groups \
    sh "$program/removeit.sh" || fail "removeit.sh as a user failed"
want=$(printf 'pkexec %s --schedule %s\npkexec %s' "$program/installs.sh" \
    "/home/nobody/.local/share/tolvane/rebootdata.kx" "$program/removeit.sh")
[ "$(cat "$work/calls")" = "$want" ] || fail "calls: $(cat "$work/calls")"
[ ! -e "$unit" ] || fail "a unit was written without rights"
echo "unit written, read back and removed; bad paths, folders and programs refused; rights asked for through pkexec"
