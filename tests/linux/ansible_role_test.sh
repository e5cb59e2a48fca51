#!/usr/bin/env bash
# The Ansible role, run for real by ansible-playbook through Ansible's chroot
# connection on a throwaway Debian 12 root, never on this machine: the
# package it installs is in that root; the schedule has exactly the bytes the
# service reads (CR LF after every line, one more at the end), root's alone;
# the notice minutes are written; the path unit is enabled in that root; a
# second run changes nothing; a schedule with a line the service could never
# run fails the play at its check, naming the line, and leaves the schedule
# in place as it was; an empty list writes the two bytes of an empty
# schedule; without a package file the package comes from a repository the
# machine uses.
#
# The root comes from debootstrap once and is kept in the build folder
# (deploy-root/bookworm); each run works on a copy of it, so every install is
# a real one. Downloaded packages are kept beside it. All mounts are made in a
# mount namespace of the test's own, so none outlives it.
#
# Usage: ansible_role_test.sh build-folder ansible-folder
# Needs root (a chroot, and dpkg in it) and Debian's archive; without root it
# is skipped (exit status 77).
set -euo pipefail
build=$(realpath "$1")
playbooks=$(realpath "$2")

if [ "$(id -u)" -ne 0 ]; then
    echo "SKIPPED: the role runs through a chroot, which needs root"
    exit 77
fi
if [ -z "${TOLVANE_OWN_MOUNTS:-}" ]; then
    TOLVANE_OWN_MOUNTS=1 exec unshare --mount --propagation private bash "$0" "$@"
fi

# shellcheck source=test_scratch.sh
source "$(dirname "$0")/test_scratch.sh" ansible-role
started_at=$SECONDS
# The mounts go before the folder does: removing it must never reach
# through them into /proc or the kept packages.
roots=()
unmount_roots() {
    local r
    for r in "${roots[@]}"; do
        umount "$r/var/cache/apt/archives" 2>/dev/null || true
        umount "$r/proc" 2>/dev/null || true
    done
}
trap 'unmount_roots; scratch_finish' EXIT

# ---- The Debian 12 root, made once ----
cache=$build/deploy-root
mkdir -p "$cache/archives/partial"
exec 9>"$cache/.lock"
flock 9
if [ ! -d "$cache/bookworm" ]; then
    rm -rf "$cache/bookworm.new"
    made_at=$SECONDS
    debootstrap --variant=minbase --include=python3,python3-apt \
        --cache-dir="$cache/archives" bookworm "$cache/bookworm.new" \
        http://deb.debian.org/debian >"$work/debootstrap.log" 2>&1 ||
        { tail -n 30 "$work/debootstrap.log"; fail "debootstrap"; }
    mv "$cache/bookworm.new" "$cache/bookworm"
    echo "made the Debian 12 root in $((SECONDS - made_at)) s"
fi
flock -u 9
# new_root DIR: a copy of the kept root, ready for apt.
new_root() {
    roots+=("$1")
    flock 9
    cp -a "$cache/bookworm" "$1"
    flock -u 9
    cp /etc/resolv.conf "$1/etc/resolv.conf"
    # As in any image being built: nothing in it is started.
    printf '#!/bin/sh\nexit 101\n' >"$1/usr/sbin/policy-rc.d"
    chmod 0755 "$1/usr/sbin/policy-rc.d"
    mount -t proc proc "$1/proc"
    mount --bind "$cache/archives" "$1/var/cache/apt/archives"
}
root=$work/root
new_root "$root"

# ---- The package, and Ansible kept away from this machine's settings ----
cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/tolvane_*_amd64.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no .deb was made"
deb_version=$(dpkg-deb -f "$deb" Version)

export HOME=$work/home XDG_CACHE_HOME=$work/home/.cache
mkdir -p "$HOME"
: >"$work/ansible.cfg"
export ANSIBLE_CONFIG=$work/ansible.cfg ANSIBLE_HOME=$work/ansible-home
export ANSIBLE_LOCAL_TEMP=$work/ansible-tmp ANSIBLE_ROLES_PATH=$playbooks/roles
export ANSIBLE_NOCOLOR=1 ANSIBLE_RETRY_FILES_ENABLED=0 ANSIBLE_HOST_KEY_CHECKING=0
# inventory HOST ROOT: the inventory of one host, the root at that path.
inventory() {
    printf '%s ansible_connection=community.general.chroot ansible_host=%s ansible_python_interpreter=/usr/bin/python3\n' \
        "$1" "$2" >"$work/inventory-$1.ini"
}
inventory target "$root"
cat >"$work/play.yml" <<'EOF'
---
- name: Tolvane on the throwaway root
  hosts: all
  roles:
    - role: tolvane
EOF

# play NAME VARS-FILE [HOST [ARGUMENTS]]: runs the role on HOST (target by
# default) with the package file, or with ARGUMENTS instead; its output goes
# to $work/NAME.log and `status` and `changed` tell how it went.
play() {
    local began=$SECONDS host=${3:-target}
    local package=(-e "tolvane_package_file=$deb")
    [ $# -le 3 ] || package=("${@:4}")
    status=0
    ansible-playbook -i "$work/inventory-$host.ini" "$work/play.yml" -e "@$2" "${package[@]}" \
        >"$work/$1.log" 2>&1 || status=$?
    changed=$(sed -n "s/^$host *:.* changed=\([0-9]*\).*/\1/p" "$work/$1.log")
    echo "$1 run: exit status $status, $changed tasks changed, $((SECONDS - began)) s"
}
show() { echo "--- $1:"; tail -n 40 "$work/$1.log"; }

cat >"$work/schedule.yml" <<'EOF'
tolvane_notice_minutes: 10
tolvane_machine_schedule:
  - {time: "10:30 PM", action: reboot, force: true, repeat: false}
  - {time: "7:05 AM", action: shutdown, day: Monday}
  - {time: "12:00 AM", action: lock, repeat: true, day: Saturday}
  - {time: "3:45 PM", action: logoff, force: true, day: Friday}
EOF
printf '%s\r\n' "10:30 PM-Force Reboot-Repeat NO-Every Day" "7:05 AM-ShutDown-Repeat YES-Monday" \
    "12:00 AM-LockWorkStation-Repeat YES-Saturday" "3:45 PM-Force LogOff-Repeat YES-Friday" \
    >"$work/expected.kx"
printf '\r\n' >>"$work/expected.kx"

# ---- First run: everything put in place ----
play first "$work/schedule.yml"
[ "$status" -eq 0 ] || { show first; fail "the first run failed"; }
[ "${changed:-0}" -gt 0 ] || { show first; fail "the first run changed nothing"; }

installed=$(dpkg-query --admindir="$root/var/lib/dpkg" -W -f='${Status} ${Version}' tolvane 2>&1) || true
[ "$installed" = "install ok installed $deb_version" ] ||
    fail "tolvane is not installed in the root: $installed"
[ -x "$root/usr/lib/tolvane/tolvane-service" ] || fail "no service program in the root"
schedule=$root/etc/tolvane/rebootdata.kx
cmp "$schedule" "$work/expected.kx" ||
    { od -c "$schedule" | head -n 20; fail "the schedule's bytes are not the ones expected"; }
for entry in "$root/etc/tolvane:root root 755" "$schedule:root root 644" \
    "$root/etc/tolvane/tolvane.conf:root root 644"; do
    got=$(stat -c '%U %G %a' "${entry%%:*}")
    [ "$got" = "${entry#*:}" ] || fail "${entry%%:*} is $got, not ${entry#*:}"
done
[ "$(cat "$root/etc/tolvane/tolvane.conf")" = "$(printf '[Options]\nNoticeMinutes=10')" ] ||
    fail "tolvane.conf holds: $(cat "$root/etc/tolvane/tolvane.conf")"
enabled=$(systemctl --root="$root" is-enabled tolvane-machine.path 2>&1) || true
[ "$enabled" = enabled ] || fail "tolvane-machine.path is not enabled in the root: $enabled"
[ -L "$root/etc/systemd/system/multi-user.target.wants/tolvane-machine.path" ] ||
    fail "multi-user.target does not want tolvane-machine.path in the root"
# The service's own reading of what the role wrote, inside the root.
chroot "$root" /usr/lib/tolvane/tolvane-service --check /etc/tolvane/rebootdata.kx \
    >"$work/check.log" 2>&1 || { cat "$work/check.log"; fail "--check in the root refuses the schedule"; }

# ---- Second run: nothing to change ----
play second "$work/schedule.yml"
[ "$status" -eq 0 ] || { show second; fail "the second run failed"; }
[ "$changed" = 0 ] || { show second; fail "the second run changed $changed tasks"; }

# ---- A line that can never run: the play fails at the check ----
sed 's/"7:05 AM"/"13:05 PM"/' "$work/schedule.yml" >"$work/bad.yml"
play bad "$work/bad.yml"
[ "$status" -ne 0 ] || { show bad; fail "a schedule with an hour 13 was put in place"; }
grep -q 'failed to validate' "$work/bad.log" || { show bad; fail "the bad run did not fail at the check"; }
grep -q 'line 2: no such hour: \\"13\\"' "$work/bad.log" ||
    { show bad; fail "the failure does not name line 2 and its hour"; }
cmp "$schedule" "$work/expected.kx" || fail "the failed run changed the schedule in place"

# ---- No line at all: an empty schedule, and another notice time ----
printf 'tolvane_notice_minutes: 0\ntolvane_machine_schedule: []\n' >"$work/empty.yml"
play empty "$work/empty.yml"
[ "$status" -eq 0 ] || { show empty; fail "the run with no line failed"; }
[ "$(od -An -tx1 "$schedule" | tr -d ' \n')" = 0d0a ] ||
    { od -c "$schedule"; fail "an empty list did not write the two bytes CR LF"; }
grep -qx 'NoticeMinutes=0' "$root/etc/tolvane/tolvane.conf" || fail "the notice minutes were not changed"

# ---- The package from a repository the machine uses ----
other=$work/other-root
new_root "$other"
mkdir "$other/srv/packages"
cp "$deb" "$other/srv/packages/"
(cd "$other/srv/packages" && dpkg-scanpackages --multiversion . >Packages 2>/dev/null)
echo 'deb [trusted=yes] file:/srv/packages ./' >"$other/etc/apt/sources.list.d/local.list"
# Known to the machine, as a repository it uses is.
chroot "$other" apt-get update -qq >"$work/update.log" 2>&1 || { cat "$work/update.log"; fail "apt-get update"; }
inventory other "$other"
play repository "$work/schedule.yml" other -e tolvane_package_file=
[ "$status" -eq 0 ] || { show repository; fail "the run with the package from a repository failed"; }
installed=$(dpkg-query --admindir="$other/var/lib/dpkg" -W -f='${Status} ${Version}' tolvane 2>&1) || true
[ "$installed" = "install ok installed $deb_version" ] ||
    fail "tolvane from the repository is not installed: $installed"
[ ! -e "$other/var/cache/tolvane" ] || fail "a package file was copied where none was given"
cmp "$other/etc/tolvane/rebootdata.kx" "$work/expected.kx" ||
    fail "the schedule's bytes differ with the package from a repository"

echo "the role passed in $((SECONDS - started_at)) s"
