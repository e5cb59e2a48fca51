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
chmod 755 "$work/bin/systemctl"
dpkg_root() {
    PATH="$work/bin:$PATH" dpkg --root="$root" --force-script-chrootless --force-depends \
        --log="$work/dpkg.log" "$@" >>"$work/dpkg.out" 2>&1 || { cat "$work/dpkg.out"; fail "dpkg $*"; }
}
dpkg_root -i "$deb"

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

dpkg_root --purge tolvane
[ "$(cat "$work/systemctl.calls")" = "$(printf 'systemctl disable --now tolvane.service\nsystemctl daemon-reload')" ] ||
    fail "systemctl calls on removal: $(cat "$work/systemctl.calls" 2>/dev/null)"
left=$(cd "$root" && find . -mindepth 1 -not -path './var/lib/dpkg*' -not -type d)
[ -z "$left" ] || fail "left behind: $left"
diff -r "$work/home-before" "$HOME" || fail "the user's files changed"
echo "removed: the service went with it, nothing left, the user's schedule and settings kept"
