#!/bin/sh
# Installs the Tolvane service: a systemd system unit that carries out the
# calling user's schedule file as root, with or without anybody logged on.
# Started without arguments (by Set Service or by hand); asks for rights
# through pkexec when not run as root.
set -eu

here=$(dirname "$(readlink -f "$0")")
unit_dir=${TOLVANE_UNIT_DIR:-/etc/systemd/system}
unit="$unit_dir/tolvane.service"

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
ExecStart=$(quote "$here/tolvane-service") --schedule $(quote "$schedule")
Restart=on-failure

[Install]
WantedBy=multi-user.target
UNIT
chmod 644 "$tmp"
mv -f "$tmp" "$unit"

systemctl daemon-reload
systemctl enable --now tolvane.service
echo "The Tolvane service is installed and running: $unit"
