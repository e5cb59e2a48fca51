#!/bin/sh
# Removes the Tolvane service that installs.sh set up. Started without
# arguments; asks for rights through pkexec when not run as root.
set -eu

here=$(dirname "$(readlink -f "$0")")
# Both folders can be pointed elsewhere for tests and for dpkg's scratch roots
# (the package's prerm). pkexec clears the environment and sudo resets it, so
# a value that reaches the root side was set by root itself; and nothing is
# removed from a folder that others than root could change.
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

# True when nobody but root can change the folder at $1 or any folder above
# it (a folder with the sticky bit, such as /tmp, only lets owners rename
# what is in it). The same rule as installs.sh's.
root_only() {
    path=$1
    while :; do
        info=$(stat -L -c '%u %a' "$path") || return 1
        [ "${info%% *}" -eq 0 ] || return 1
        mode=${info#* }
        case $mode in ????) sticky=$(( ${mode%???} & 1 )); mode=${mode#?} ;; *) sticky=0 ;; esac
        if [ -d "$path" ] && [ "$sticky" -eq 1 ]; then
            :
        elif [ $(( 0$mode & 022 )) -ne 0 ]; then
            return 1
        fi
        [ "$path" = / ] && return 0
        path=$(dirname "$path")
    done
}

if [ -e "$unit" ] || [ -L "$unit" ]; then
    root_only "$unit_dir" || {
        echo "removeit.sh: $unit_dir could be changed by others than root; nothing removed" >&2
        exit 2
    }
    systemctl disable --now tolvane.service || true
    rm -f "$unit"
    systemctl daemon-reload
fi
# Older versions copied the service program here when its own folder was one
# that others could write. Only that lone copy goes: a folder with installs.sh
# in it is an installed Tolvane (`cmake --install` puts it here), not a copy.
if [ -e "$copy_dir/tolvane-service" ] && [ ! -e "$copy_dir/installs.sh" ] &&
    [ "$(readlink -f "$copy_dir")" != "$here" ] && root_only "$copy_dir"; then
    rm -f "$copy_dir/tolvane-service"
    rmdir "$copy_dir" 2>/dev/null || true
fi
echo "The Tolvane service is removed."
