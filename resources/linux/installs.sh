#!/bin/sh
# Installs the Tolvane service: a systemd system unit that carries out the
# calling user's schedule file as root, with or without anybody logged on.
# Started without arguments (by Set Service or by hand); asks for rights
# through pkexec when not run as root.
set -eu

here=$(dirname "$(readlink -f "$0")")
unit_dir=${TOLVANE_UNIT_DIR:-/etc/systemd/system}
unit="$unit_dir/tolvane.service"
copy_dir=${TOLVANE_SERVICE_DIR:-/usr/local/lib/tolvane}

if [ "${1-}" = "--schedule" ] && [ $# -eq 2 ]; then
    schedule=$2
elif [ $# -eq 0 ]; then
    schedule="${XDG_DATA_HOME:-$HOME/.local/share}/tolvane/rebootdata.kx"
else
    echo "usage: installs.sh" >&2
    exit 2
fi
case $schedule in
    /*) ;;
    *) echo "installs.sh: the schedule file must be an absolute path: $schedule" >&2; exit 2 ;;
esac

if [ "$(id -u)" -ne 0 ]; then
    # The schedule is the caller's; pkexec clears the environment, so it goes along.
    exec pkexec "$here/installs.sh" --schedule "$schedule"
fi

# True when nobody but root can change the file at $1: it and every folder
# above it belong to root and are not writable by others (a folder with the
# sticky bit, such as /tmp, only lets owners rename what is in it).
root_only() {
    path=$1
    while :; do
        info=$(stat -L -c '%u %a' "$path") || return 1
        set -- $info
        [ "$1" -eq 0 ] || return 1
        mode=$2
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

# The service runs as root: a program that others may replace would hand them
# root. One in a folder they can write (a build folder, say) is copied first.
service="$here/tolvane-service"
[ -x "$service" ] || { echo "installs.sh: $service is missing" >&2; exit 1; }
if ! root_only "$service"; then
    mkdir -p "$copy_dir"
    chmod 755 "$copy_dir"
    cp -f "$service" "$copy_dir/tolvane-service.new"
    chmod 755 "$copy_dir/tolvane-service.new"
    mv -f "$copy_dir/tolvane-service.new" "$copy_dir/tolvane-service"
    service="$copy_dir/tolvane-service"
fi

# One argument of ExecStart, quoted as systemd reads it.
quote() {
    printf '"%s"' "$(printf '%s' "$1" | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g' -e 's/%/%%/g' -e 's/\$/$$/g')"
}

mkdir -p "$unit_dir"
tmp=$(mktemp "$unit_dir/.tolvane.service.XXXXXX")
cat >"$tmp" <<UNIT
[Unit]
Description=Tolvane: carries out a schedule of reboots, shutdowns, log-offs and locks
After=systemd-logind.service

[Service]
ExecStart=$(quote "$service") --schedule $(quote "$schedule")
Restart=on-failure

[Install]
WantedBy=multi-user.target
UNIT
chmod 644 "$tmp"
mv -f "$tmp" "$unit"

systemctl daemon-reload
systemctl enable --now tolvane.service
echo "The Tolvane service is installed and running: $unit"
