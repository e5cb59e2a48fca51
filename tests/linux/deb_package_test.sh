#!/usr/bin/env bash
# The .deb: built from the install rules, it holds the program in its own
# folder with a link on the PATH, the desktop entry and the icons, and depends
# on the Qt libraries. Installed into a scratch root, the program started
# through the link records its real folder (where Set Service looks for the
# service scripts), not /usr/bin.
# Usage: deb_package_test.sh build-folder
set -euo pipefail
build=$1
work=$(mktemp -d /tmp/tolvane-deb-XXXXXX)
app=""
cleanup() {
    [ -n "$app" ] && kill "$app" 2>/dev/null || true
    rm -rf "$work"
}
trap cleanup EXIT
fail() { echo "FAILED: $*" >&2; exit 1; }

cpack --config "$build/CPackConfig.cmake" -B "$work/out" >"$work/cpack.log" 2>&1 ||
    { cat "$work/cpack.log"; fail "cpack"; }
deb=$(ls "$work"/out/tolvane_*_amd64.deb 2>/dev/null | head -n1)
[ -n "$deb" ] || fail "no .deb was made"
dpkg-deb -c "$deb" | awk '{ $1 = $2 = $3 = $4 = $5 = ""; sub(/^ +/, ""); print }' >"$work/contents"
for entry in \
    "./usr/lib/tolvane/tolvane" \
    "./usr/bin/tolvane -> ../lib/tolvane/tolvane" \
    "./usr/share/applications/tolvane.desktop" \
    "./usr/share/icons/hicolor/16x16/apps/tolvane.png" \
    "./usr/share/icons/hicolor/32x32/apps/tolvane.png" \
    "./usr/share/icons/hicolor/128x128/apps/tolvane.png"; do
    grep -qxF "$entry" "$work/contents" || fail "the package lacks $entry"
done
dpkg-deb -f "$deb" Depends | grep -q 'libqt6widgets6' || fail "no dependency on Qt Widgets"
dpkg-deb -f "$deb" Package | grep -qx tolvane || fail "the package is not called tolvane"

dpkg-deb -x "$deb" "$work/root"
export XDG_CONFIG_HOME="$work/config" XDG_DATA_HOME="$work/data" XDG_RUNTIME_DIR="$work/runtime"
export QT_QPA_PLATFORM=offscreen
export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus" DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
mkdir -m 0700 "$XDG_RUNTIME_DIR"
"$work/root/usr/bin/tolvane" >"$work/app.log" 2>&1 &
app=$!
settings="$XDG_CONFIG_HOME/tolvane/Tolvane 2.1.ini"
# Bounded only against a hang.
for _ in $(seq 2400); do grep -qs '^Path=' "$settings" && break; sleep 0.05; done
grep -qxF "Path=$work/root/usr/lib/tolvane" "$settings" ||
    { cat "$settings" "$work/app.log" 2>/dev/null; fail "the installed program did not record its own folder"; }
echo "the .deb holds the program, its link, desktop entry and icons; installed, it knows its folder"
