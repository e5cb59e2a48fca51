#!/bin/bash
# installs.sh and removeit.sh from a folder whose path holds a space: the unit
# they write, the systemctl calls they make (a stand-in records them), the
# copy they make of a service program that others could replace and, for a
# user who is not root, the way they ask for rights (a stand-in pkexec).
#
#   service_scripts_test.sh INSTALLS.SH REMOVEIT.SH
set -u
installs=$1
removeit=$2
[ "$(id -u)" -eq 0 ] || { echo "skipped: needs root to test both ways"; exit 0; }

# shellcheck source=test_scratch.sh
source "$(dirname "$0")/test_scratch.sh" scripts
chmod 755 "$work"
program="$work/pro gram"
mkdir -p "$program" "$work/bin" "$work/units"
cp "$installs" "$removeit" "$program/"
printf '#!/bin/sh\nexit 0\n' >"$program/tolvane-service"
chmod 755 "$program/tolvane-service"
for stand_in in systemctl pkexec; do
    printf '#!/bin/sh\necho "%s $*" >>"%s/calls"\n' "$stand_in" "$work" >"$work/bin/$stand_in"
    chmod 755 "$work/bin/$stand_in"
done
copies="$work/lib"
run() {
    env -i PATH="$work/bin:/usr/bin:/bin" TOLVANE_UNIT_DIR="$work/units" \
        TOLVANE_SERVICE_DIR="$copies" "$@"
}

# As root through pkexec, for a user whose data folder has characters systemd
# treats specially.
user=65534
home="$work/home \"50%\" \$x"
schedule="$home/.local/share/tolvane/rebootdata.kx"
run PKEXEC_UID=$user sh "$program/installs.sh" --schedule "$schedule" >/dev/null ||
    fail "installs.sh failed"
unit="$work/units/tolvane.service"
[ -f "$unit" ] || fail "no unit written"
line=$(grep '^ExecStart=' "$unit")
want="ExecStart=\"$program/tolvane-service\" --schedule \"$work/home \\\"50%%\\\" \$\$x/.local/share/tolvane/rebootdata.kx\" --user $user"
[ "$line" = "$want" ] || fail "unit has $line, expected $want"
line=$(grep '^ReadWritePaths=' "$unit")
want="ReadWritePaths=-\"$work/home \\\"50%%\\\" \$x/.local/share/tolvane\""
[ "$line" = "$want" ] || fail "unit has $line, expected $want"
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
grep -q '^WantedBy=multi-user.target$' "$unit" || fail "the unit is not started at boot"
[ "$(cat "$work/calls")" = "$(printf 'systemctl daemon-reload\nsystemctl enable --now tolvane.service')" ] ||
    fail "calls: $(cat "$work/calls")"

# Through sudo, without a schedule: the user's own, under the user's home.
rm "$work/calls"
run SUDO_UID=$user sh "$program/installs.sh" >/dev/null || fail "installs.sh through sudo failed"
nobody_home=$(getent passwd $user | cut -d: -f6)
grep -qxF "ExecStart=\"$program/tolvane-service\" --schedule \"$nobody_home/.local/share/tolvane/rebootdata.kx\" --user $user" "$unit" ||
    fail "through sudo: $(grep '^ExecStart=' "$unit")"

# Never for root, nor for what is not a user.
for who in "" PKEXEC_UID=0 SUDO_UID=0 PKEXEC_UID=abc PKEXEC_UID=4242424; do
    rm -f "$unit" "$work/calls"
    status=0
    run $who sh "$program/installs.sh" --schedule "$schedule" >/dev/null 2>"$work/err" || status=$?
    [ "$status" -eq 2 ] || fail "installs.sh with '$who' ended with $status"
    [ -s "$work/err" ] || fail "installs.sh with '$who' said nothing"
    [ ! -e "$unit" ] && [ ! -e "$work/calls" ] || fail "installs.sh with '$who' installed a service"
done
run PKEXEC_UID=$user sh "$program/installs.sh" --schedule "$schedule" >/dev/null ||
    fail "installs.sh failed"

rm "$work/calls"
run sh "$program/removeit.sh" >/dev/null || fail "removeit.sh failed"
[ ! -e "$unit" ] || fail "the unit is still there"
[ "$(cat "$work/calls")" = "$(printf 'systemctl disable --now tolvane.service\nsystemctl daemon-reload')" ] ||
    fail "calls: $(cat "$work/calls")"

# A program folder that others may write: the service runs from a copy.
chmod 777 "$program"
run PKEXEC_UID=$user sh "$program/installs.sh" --schedule "$work/home/rebootdata.kx" >/dev/null ||
    fail "installs.sh failed"
line=$(grep '^ExecStart=' "$unit")
want="ExecStart=\"$copies/tolvane-service\" --schedule \"$work/home/rebootdata.kx\" --user $user"
[ "$line" = "$want" ] || fail "unit has $line, expected $want"
cmp -s "$program/tolvane-service" "$copies/tolvane-service" || fail "no copy of the service"
[ "$(stat -c '%u %a' "$copies/tolvane-service")" = "0 755" ] || fail "the copy is not root's alone"
run sh "$program/removeit.sh" >/dev/null || fail "removeit.sh failed"
[ ! -e "$copies" ] || fail "the copy is still there"
chmod 755 "$program"

# Not root: the scripts hand over to pkexec with the caller's schedule.
rm "$work/calls"
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
echo "unit written and removed; rights asked for through pkexec"
