#!/usr/bin/env bash
# The .deb, built from the install rules: lintian, desktop-file-validate and
# appstreamcli accept it without an error or a warning; it holds the programs
# in their own folder with a link on the PATH, the manual pages, the desktop
# entry, the AppStream data and the icons. Installed with dpkg into a scratch
# root, the program started from the PATH under a virtual X server shows its
# window and records its real folder (where Set Service looks for the service
# scripts); --help and --version answer without a window. Removed, it takes an
# installed service with it (a stand-in systemctl records the calls) and
# leaves nothing behind, and nobody's schedule or settings are touched.
# The machine's units: systemd reads them without a complaint, the service's
# exposure (systemd-analyze security --offline) is at most 2.0, installing
# enables the path unit in the package's root and starts it only on the
# running system, and removal stops and purges them but keeps the
# administrators' /etc/tolvane.
# Usage: deb_package_test.sh build-folder [sanitized]
set -euo pipefail
build=$1
sanitized=${2-}
# shellcheck source=test_scratch.sh
source "$(dirname "$0")/test_scratch.sh" deb
# x_retry: an X client command, again when its connection was refused.
source "$(dirname "$0")/../../scripts/private-session.sh"

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/tolvane_*_amd64.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no .deb was made"

# What Debian's own checks say of it.
# (A sanitizer build's package is for the tests alone: no hardening flags, other
# strings in the binaries; lintian judges the package that ships.)
if [ "$sanitized" != sanitized ]; then
    status=0
    lintian --tag-display-limit 0 -I "$deb" >"$work/lintian.log" 2>&1 || status=$?
    echo "--- lintian (exit status $status):"
    grep -v 'running with root privileges' "$work/lintian.log" || true
    [ "$status" -le 1 ] || fail "lintian could not check the package"
    grep -qE '^[EW]: ' "$work/lintian.log" && fail "lintian reports errors or warnings"
fi
dpkg-deb -x "$deb" "$work/contents"
desktop-file-validate "$work/contents/usr/share/applications/tolvane.desktop" >"$work/dfv.log" 2>&1 ||
    true
[ ! -s "$work/dfv.log" ] || { cat "$work/dfv.log"; fail "desktop-file-validate"; }
appstreamcli validate --no-net --pedantic \
    "$work/contents/usr/share/metainfo/com.quarnel.tolvane.metainfo.xml" >"$work/as.log" 2>&1 ||
    { cat "$work/as.log"; fail "appstreamcli validate"; }
grep -qE '^[EW]: ' "$work/as.log" && { cat "$work/as.log"; fail "appstreamcli warns"; }

dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' >"$work/listing"
for entry in \
    "./usr/lib/tolvane/tolvane" \
    "./usr/lib/tolvane/tolvane-service" \
    "./usr/lib/tolvane/installs.sh" \
    "./usr/lib/tolvane/removeit.sh" \
    "./usr/bin/tolvane -> ../lib/tolvane/tolvane" \
    "./usr/share/man/man1/tolvane.1.gz" \
    "./usr/share/man/man8/tolvane-service.8.gz" \
    "./usr/share/doc/tolvane/copyright" \
    "./usr/share/doc/tolvane/changelog.Debian.gz" \
    "./usr/share/applications/tolvane.desktop" \
    "./usr/share/metainfo/com.quarnel.tolvane.metainfo.xml" \
    "./usr/share/icons/hicolor/16x16/apps/tolvane.png" \
    "./usr/share/icons/hicolor/32x32/apps/tolvane.png" \
    "./usr/share/icons/hicolor/128x128/apps/tolvane.png"; do
    grep -qxF "$entry" "$work/listing" || fail "the package lacks $entry"
done
# The machine's units, where this system keeps its packages' units.
unit_dir=$(grep -oE '^\./(usr/)?lib/systemd/system/tolvane-machine\.service$' "$work/listing" |
    sed 's/tolvane-machine\.service$//')
[ -n "$unit_dir" ] || fail "the package lacks tolvane-machine.service"
grep -qxF "${unit_dir}tolvane-machine.path" "$work/listing" || fail "the package lacks tolvane-machine.path"
units="$work/contents/${unit_dir#./}"
# Read by systemd itself, the program named as it is unpacked here.
mkdir -p "$work/verify"
sed "s|=/usr/lib/tolvane/|=$work/contents/usr/lib/tolvane/|" "$units/tolvane-machine.service" \
    >"$work/verify/tolvane-machine.service"
cp "$units/tolvane-machine.path" "$work/verify/"
grep -q "^ExecStart=$work/contents/usr/lib/tolvane/tolvane-service --machine\$" \
    "$work/verify/tolvane-machine.service" || fail "the machine's unit does not start tolvane-service --machine"
systemd-analyze verify --man=no "$work/verify/tolvane-machine.service" "$work/verify/tolvane-machine.path" \
    >"$work/verify.log" 2>&1 || { cat "$work/verify.log"; fail "systemd refuses the machine's units"; }
[ ! -s "$work/verify.log" ] || { cat "$work/verify.log"; fail "systemd complains of the machine's units"; }
systemd-analyze security --offline=true --no-pager "$units/tolvane-machine.service" \
    >"$work/security.log" 2>&1 || true
exposure=$(sed -n 's/.*Overall exposure level for tolvane-machine\.service: \([0-9.]*\).*/\1/p' \
    "$work/security.log")
[ -n "$exposure" ] || { cat "$work/security.log"; fail "no exposure figure for tolvane-machine.service"; }
echo "exposure of tolvane-machine.service: $exposure"
awk -v e="$exposure" 'BEGIN { exit !(e <= 2.0) }' ||
    { cat "$work/security.log"; fail "tolvane-machine.service is exposed above 2.0"; }
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "no dependency on Qt Widgets"
dpkg-deb -f "$deb" Recommends | grep -q 'pkexec' || fail "pkexec is not recommended"
dpkg-deb -f "$deb" Package | grep -qx tolvane || fail "the package is not called tolvane"

# A scratch root for dpkg, with a service installed as installs.sh leaves it,
# and a user's schedule and settings.
root="$work/root"
(umask 022 && mkdir -p "$root/var/lib/dpkg/info" "$root/var/lib/dpkg/updates" "$root/var/lib/dpkg/triggers")
touch "$root/var/lib/dpkg/status"
mkdir -p "$work/bin"
printf '#!/bin/sh\necho "systemctl $*" >>"%s/systemctl.calls"\n' "$work" >"$work/bin/systemctl"
printf '#!/bin/sh\necho "deb-systemd-invoke $*" >>"%s/systemctl.calls"\n' "$work" \
    >"$work/bin/deb-systemd-invoke"
# deb-systemd-helper acts for real, but only on the scratch root, and only
# where it knows DPKG_ROOT; elsewhere its calls are recorded alone.
cat >"$work/bin/deb-systemd-helper" <<HELPER
#!/bin/sh
echo "deb-systemd-helper \$*" >>"$work/helper.calls"
if [ "\${DPKG_ROOT:-}" = "$root" ] && grep -q DPKG_ROOT /usr/bin/deb-systemd-helper; then
    exec /usr/bin/deb-systemd-helper "\$@"
fi
HELPER
chmod 755 "$work/bin/systemctl" "$work/bin/deb-systemd-invoke" "$work/bin/deb-systemd-helper"
dpkg_root() {
    PATH="$work/bin:$PATH" dpkg --root="$root" --force-script-chrootless --force-depends \
        --log="$work/dpkg.log" "$@" >>"$work/dpkg.out" 2>&1 || { cat "$work/dpkg.out"; fail "dpkg $*"; }
}
dpkg_root -i "$deb"
# Enabled in the package's root, and nothing started on the running system.
grep -qxF "deb-systemd-helper enable tolvane-machine.path" "$work/helper.calls" ||
    fail "the machine's path unit is not enabled: $(cat "$work/helper.calls")"
if grep -q DPKG_ROOT /usr/bin/deb-systemd-helper; then
    wanted="$root/etc/systemd/system/multi-user.target.wants/tolvane-machine.path"
    [ "$(readlink "$wanted")" = "/${unit_dir#./}tolvane-machine.path" ] ||
        fail "multi-user.target does not want tolvane-machine.path: $(ls -l "$wanted" 2>&1)"
fi
[ ! -e "$work/systemctl.calls" ] || fail "installing into a root acted on this system: $(cat "$work/systemctl.calls")"
# On the running system (no DPKG_ROOT) the same script starts the path unit.
# (Only postinst is run so: prerm would reach this system's removeit.sh.)
dpkg-deb -e "$deb" "$work/control"
PATH="$work/bin:$PATH" sh "$work/control/postinst" configure "" || fail "postinst on the running system"
grep -qxF "deb-systemd-invoke start tolvane-machine.path" "$work/systemctl.calls" ||
    fail "postinst does not start the path unit: $(cat "$work/systemctl.calls")"
rm -f "$work/systemctl.calls"

isolated_home "$work/home/.config" "$work/home/.local/share"
unset DISPLAY
mkdir -p "$XDG_DATA_HOME/tolvane"
printf '3:00 AM-Reboot-Repeat YES-Every Day\r\n\r\n' >"$XDG_DATA_HOME/tolvane/rebootdata.kx"
export PATH="$root/usr/bin:$PATH"

# The conventions of a Linux command, with no display to open a window on.
[ "$(tolvane --version)" = "tolvane 2.1.0.528" ] || fail "tolvane --version: $(tolvane --version)"
tolvane --help | head -n1 | grep -q '^usage: tolvane' || fail "tolvane --help: $(tolvane --help)"
service="$root/usr/lib/tolvane/tolvane-service"
[ "$("$service" --version)" = "tolvane-service 2.1.0.528" ] || fail "tolvane-service --version"
"$service" --help | head -n1 | grep -q '^usage: tolvane-service' || fail "tolvane-service --help"

# Started from the PATH on a virtual X server: the window, and its own folder.
start_xvfb
title='^Tolvane 2\.1 - Quarnel $'
x_client_start "$work/app.log" "xdotool search --onlyvisible --name '$title'" tolvane || true
app=$x_client_pid
started "$app"
window_shown "$app" "$title" || { cat "$work/app.log"; fail "no window from the installed program"; }
settings="$XDG_CONFIG_HOME/tolvane/Tolvane 2.1.ini"
within grep -qs '^Path=' "$settings"
grep -qxF "Path=$root/usr/lib/tolvane" "$settings" ||
    { cat "$settings" "$work/app.log" 2>/dev/null; fail "the installed program did not record its own folder"; }
kill "$app"
wait "$app" 2>/dev/null || true
echo "installed: the window shows from the PATH, and knows its folder"

# A service installed from the package, as installs.sh leaves it, and the copy
# of the program that older versions made in /usr/local/lib/tolvane (removeit.sh
# removes it only from folders that root alone can change).
(umask 022 && mkdir -p "$root/etc/systemd/system" "$root/usr/local/lib/tolvane")
printf '[Service]\nExecStart=/usr/lib/tolvane/tolvane-service --schedule /x --user 1000\n' \
    >"$root/etc/systemd/system/tolvane.service"
cp "$service" "$root/usr/local/lib/tolvane/tolvane-service"
cp -a "$HOME" "$work/home-before"
# The administrators' schedule, and the service's record of one-time lines.
(umask 022 && mkdir -p "$root/etc/tolvane" "$root/var/lib/tolvane")
printf '6:00 PM-Shutdown-Repeat YES-Every Day\r\n' >"$root/etc/tolvane/rebootdata.kx"
cp "$root/etc/tolvane/rebootdata.kx" "$work/machine-before"
printf 'x\n' >"$root/var/lib/tolvane/done"

dpkg_root --purge tolvane
[ "$(cat "$work/systemctl.calls")" = "$(printf 'systemctl disable --now tolvane.service\nsystemctl daemon-reload')" ] ||
    fail "systemctl calls on removal: $(cat "$work/systemctl.calls" 2>/dev/null)"
grep -qxF "deb-systemd-helper purge tolvane-machine.path" "$work/helper.calls" ||
    fail "the machine's path unit is not purged: $(cat "$work/helper.calls")"
cmp -s "$work/machine-before" "$root/etc/tolvane/rebootdata.kx" || fail "the machine's schedule changed"
rm -r "$root/etc/tolvane"
left=$(cd "$root" && find . -mindepth 1 -not -path './var/lib/dpkg*' -not -type d)
[ -z "$left" ] || fail "left behind: $left"
[ ! -e "$root/var/lib/tolvane" ] || fail "purge kept the record of one-time lines"
diff -r "$work/home-before" "$HOME" || fail "the user's files changed"
echo "removed: the services went with it, nothing left, the user's and the machine's schedules kept"
