#!/bin/sh
# Installs the Tolvane service: a systemd system unit that carries out the
# calling user's schedule file, with or without anybody logged on. It runs as
# root only for its calls to logind, and for one user only: the one who ran
# this script. Started without arguments (by Set Service or by hand); asks for
# rights through pkexec when not run as root.
set -eu

here=$(dirname "$(readlink -f "$0")")
unit_dir=${TOLVANE_UNIT_DIR:-/etc/systemd/system}
unit="$unit_dir/tolvane.service"
copy_dir=${TOLVANE_SERVICE_DIR:-/usr/local/lib/tolvane}

if [ "${1-}" = "--schedule" ] && [ $# -eq 2 ]; then
    schedule=$2
elif [ $# -eq 0 ]; then
    schedule=
else
    echo "usage: installs.sh" >&2
    exit 2
fi

if [ "$(id -u)" -ne 0 ]; then
    # The schedule is the caller's; pkexec clears the environment, so it goes
    # along, and pkexec tells who the caller was (PKEXEC_UID).
    schedule=${schedule:-"${XDG_DATA_HOME:-$HOME/.local/share}/tolvane/rebootdata.kx"}
    exec pkexec "$here/installs.sh" --schedule "$schedule"
fi

# The one user the service acts for: who asked for rights, never root itself.
# The service uses that user's rights for every file and ends or locks only
# that user's sessions.
user=${PKEXEC_UID:-${SUDO_UID:-0}}
case $user in
    '' | *[!0-9]*) echo "installs.sh: not a user's number: $user" >&2; exit 2 ;;
esac
if [ "$user" -eq 0 ]; then
    echo "installs.sh: the service carries out a user's schedule, not root's;" \
        "run installs.sh as that user (it asks for rights), or through sudo or pkexec" >&2
    exit 2
fi
entry=$(getent passwd "$user") || { echo "installs.sh: no user with the number $user" >&2; exit 2; }
group=$(printf '%s' "$entry" | cut -d: -f4)
home=$(printf '%s' "$entry" | cut -d: -f6)
schedule=${schedule:-"$home/.local/share/tolvane/rebootdata.kx"}
case $schedule in
    /*) ;;
    *) echo "installs.sh: the schedule file must be an absolute path: $schedule" >&2; exit 2 ;;
esac
folder=$(dirname "$schedule")
# The schedule's folder made now, by the user (never by root in the user's
# home), so the service can be given it as its one writable place.
setpriv --reuid="$user" --regid="$group" --init-groups mkdir -p "$folder" 2>/dev/null || true

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
# One path of ReadWritePaths=, quoted as systemd reads it ("$" is no variable there).
quote_path() {
    printf '"%s"' "$(printf '%s' "$1" | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g' -e 's/%/%%/g')"
}

mkdir -p "$unit_dir"
tmp=$(mktemp "$unit_dir/.tolvane.service.XXXXXX")
cat >"$tmp" <<UNIT
[Unit]
Description=Tolvane: carries out a schedule of reboots, shutdowns, log-offs and locks
After=systemd-logind.service

[Service]
ExecStart=$(quote "$service") --schedule $(quote "$schedule") --user $user
Restart=on-failure
# Root only for its calls to logind over the system bus; every file operation
# is the user's (the program takes the user's identity for its files, which
# needs CAP_SETUID and CAP_SETGID and nothing else). Beyond that, the service
# sees the system read-only, but for the user's schedule folder.
CapabilityBoundingSet=CAP_SETUID CAP_SETGID
AmbientCapabilities=
NoNewPrivileges=yes
ProtectSystem=strict
ProtectHome=read-only
ReadWritePaths=-$(quote_path "$folder")
PrivateTmp=yes
PrivateDevices=yes
PrivateNetwork=yes
PrivateIPC=yes
PrivateMounts=yes
IPAddressDeny=any
RestrictAddressFamilies=AF_UNIX
ProtectKernelTunables=yes
ProtectKernelModules=yes
ProtectKernelLogs=yes
ProtectControlGroups=yes
ProtectClock=yes
ProtectHostname=yes
ProtectProc=invisible
ProcSubset=pid
RestrictNamespaces=yes
RestrictRealtime=yes
RestrictSUIDSGID=yes
LockPersonality=yes
MemoryDenyWriteExecute=yes
SystemCallArchitectures=native
SystemCallFilter=@system-service
SystemCallFilter=~@privileged @resources
SystemCallFilter=setgroups setfsuid setfsgid
SystemCallErrorNumber=EPERM
UMask=0077
KeyringMode=private
DevicePolicy=closed
MemoryMax=64M
TasksMax=16

[Install]
WantedBy=multi-user.target
UNIT
chmod 644 "$tmp"
mv -f "$tmp" "$unit"

systemctl daemon-reload
systemctl enable --now tolvane.service
echo "The Tolvane service is installed and running: $unit"
