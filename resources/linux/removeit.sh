#!/bin/sh
# Removes the Tolvane service that installs.sh set up. Started without
# arguments; asks for rights through pkexec when not run as root.
set -eu

here=$(dirname "$(readlink -f "$0")")
unit_dir=${TOLVANE_UNIT_DIR:-/etc/systemd/system}
unit="$unit_dir/tolvane.service"
copy_dir=${TOLVANE_SERVICE_DIR:-/usr/local/lib/tolvane}

if [ $# -ne 0 ]; then
    echo "usage: removeit.sh" >&2
    exit 2
fi
if [ "$(id -u)" -ne 0 ]; then
    exec pkexec "$here/removeit.sh"
fi

if [ -e "$unit" ]; then
    systemctl disable --now tolvane.service || true
    rm -f "$unit"
    systemctl daemon-reload
fi
# The copy installs.sh made of a program that lived where others could write.
if [ -e "$copy_dir/tolvane-service" ]; then
    rm -f "$copy_dir/tolvane-service"
    rmdir "$copy_dir" 2>/dev/null || true
fi
echo "The Tolvane service is removed."
