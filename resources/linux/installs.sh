#!/bin/sh
# Installs the Tolvane service: a systemd system unit that carries out the
# calling user's schedule file, with or without anybody logged on. It runs as
# root only for its calls to logind, and for one user only: the one who ran
# this script. Started without arguments (by Set Service or by hand); asks for
# rights through pkexec when not run as root.
#
# Everything the user hands over (the schedule's path, through --schedule or
# XDG_DATA_HOME) is checked before root writes or makes anything, and the unit
# is read back before it is put in place: a path that could turn into other
# lines or other words of a root unit is refused, not repaired.
set -eu
# Byte-wise tools: a path is checked as the bytes systemd will read.
LC_ALL=C
export LC_ALL

self=$(readlink -f "$0")
here=$(dirname "$self")
# TOLVANE_UNIT_DIR points the unit at a scratch folder in tests. pkexec clears
# the environment and sudo resets it, so a value that reaches the root side was
# set by root itself (or by someone sudo lets set root's environment, who then
# also sets PATH and so already chooses every program this script runs); and
# the folder must still be one only root can change (see below).
unit_dir=${TOLVANE_UNIT_DIR:-/etc/systemd/system}
unit="$unit_dir/tolvane.service"

refuse() {
    echo "installs.sh: $*" >&2
    exit 2
}

# Refuses a path that the unit cannot hold as it is: control characters (a
# newline would start a line of the unit of its own), bytes that are not
# UTF-8, anything but an absolute path in plain form (no "." or ".." names, no
# doubled or trailing "/", which would let the path read as inside a folder it
# is not in) and one longer than a path can be.
check_path() {
    case $2 in
        /*) ;;
        *) refuse "$1 must be an absolute path" ;;
    esac
    [ "$(printf '%s' "$2" | tr -cd '\001-\037\177' | wc -c)" -eq 0 ] ||
        refuse "$1 holds a control character (such as a line break or a tab)"
    printf '%s' "$2" | iconv -f UTF-8 -t UTF-8 >/dev/null 2>&1 ||
        refuse "$1 is not UTF-8 text"
    case $2 in
        */ | *//* | */./* | */. | */../* | */..) refuse "$1 has an empty, \".\" or \"..\" name in it" ;;
    esac
    [ "$(printf '%s' "$2" | wc -c)" -lt 4096 ] || refuse "$1 is longer than a path can be"
}

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
    # along, and pkexec tells who the caller was (PKEXEC_UID). Checked here too
    # so a path root would refuse asks for no password first.
    schedule=${schedule:-"${XDG_DATA_HOME:-$HOME/.local/share}/tolvane/rebootdata.kx"}
    check_path "the schedule file" "$schedule"
    exec pkexec "$here/installs.sh" --schedule "$schedule"
fi

# The one user the service acts for: who asked for rights, never root itself.
# The service uses that user's rights for every file and ends or locks only
# that user's sessions.
user=${PKEXEC_UID:-${SUDO_UID:-0}}
case $user in
    '' | *[!0-9]*) refuse "not a user's number: $user" ;;
esac
if [ "$user" -eq 0 ]; then
    refuse "the service carries out a user's schedule, not root's;" \
        "run installs.sh as that user (it asks for rights), or through sudo or pkexec"
fi
entry=$(getent passwd "$user") || refuse "no user with the number $user"
group=$(printf '%s' "$entry" | cut -d: -f4)
home=$(printf '%s' "$entry" | cut -d: -f6)
schedule=${schedule:-"$home/.local/share/tolvane/rebootdata.kx"}
check_path "the schedule file" "$schedule"

# True when nobody but root can change the file at $1: it and every folder
# above it belong to root and are not writable by others (a folder with the
# sticky bit, such as /tmp, only lets owners rename what is in it).
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

# The service runs as root: a program, or this script, that others could
# replace or change would hand them root. A build folder is the builder's, so
# a build is installed first (its package, or `sudo cmake --install`) and the
# service installed from there. Nothing is copied: root never takes a program
# out of a place a user can write.
service=$(readlink -f "$here/tolvane-service") || refuse "$here/tolvane-service is missing"
if [ ! -f "$service" ] || [ ! -x "$service" ]; then
    refuse "$here/tolvane-service is missing"
fi
check_path "the service program's path" "$service"
for trusted in "$self" "$service"; do
    root_only "$trusted" ||
        refuse "$trusted could be changed by others than root; install Tolvane" \
            "(its package, or sudo cmake --install) and run installs.sh from there"
done
if [ ! -d "$unit_dir" ] || ! root_only "$unit_dir"; then
    refuse "$unit_dir is missing or could be changed by others than root"
fi

# The schedule's folder becomes the service's one writable place, so it must
# be the user's own: inside the user's home, never a system folder, never the
# home's parent or above.
folder=$(dirname "$schedule")
case $home in
    / | '') refuse "user $user has no home of their own (it is '$home')" ;;
esac
check_path "the home of user $user" "$home"
case $folder in
    "$home" | "$home"/*) ;;
    *) refuse "the schedule's folder $folder is not inside the home of user $user ($home)" ;;
esac
for system in /bin /boot /dev /etc /lib /lib32 /lib64 /libx32 /opt /proc /root /run /sbin \
    /srv /sys /tmp /usr /var; do
    case $folder in
        "$system" | "$system"/*) refuse "the schedule's folder $folder is in the system folder $system" ;;
    esac
done
# Made now, by the user (never by root in the user's home), so root only
# looks at it afterwards.
setpriv --reuid="$user" --regid="$group" --init-groups mkdir -p "$folder" 2>/dev/null || true
# As given, with no link on the way (a link could point the unit's writable
# place elsewhere), a folder, and the user's. The user could still put a link
# there later, and systemd follows it when the service starts; that only
# widens what the service may write in its own view of the system, and the
# service writes nothing there but as the user (it takes the user's file
# identity first), so the user gains nothing they did not have.
[ "$(readlink -f "$folder" 2>/dev/null)" = "$folder" ] ||
    refuse "the schedule's folder $folder is missing or has a link on its way"
[ -d "$folder" ] || refuse "the schedule's folder $folder is not a folder"
[ "$(stat -c '%u' "$folder")" = "$user" ] ||
    refuse "the schedule's folder $folder does not belong to user $user"

# One argument of ExecStart=, quoted as systemd reads it: specifiers (%), then
# C escapes (\), then variables ($).
quote_word() {
    printf '"%s"' "$(printf '%s' "$1" | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g' -e 's/%/%%/g' -e 's/\$/$$/g')"
}
# One path of ReadWritePaths=, quoted as systemd reads it: quotes with a
# backslash that only keeps the next character, then specifiers; "$" is no
# variable there. The "-" (no error if missing) goes inside the quotes.
quote_path() {
    printf '"-%s"' "$(printf '%s' "$1" | sed -e 's/\\/\\\\/g' -e 's/"/\\"/g' -e 's/%/%%/g')"
}

# Written in a hidden folder of its own beside its place (systemd skips names
# that start with "."), so the file checked is the file that is renamed into
# place.
tmp_dir=$(mktemp -d "$unit_dir/.tolvane.XXXXXX")
trap 'rm -rf "$tmp_dir"' EXIT
trap 'exit 1' HUP INT TERM
new="$tmp_dir/tolvane.service"
cat >"$new" <<UNIT
[Unit]
Description=Tolvane: carries out a schedule of reboots, shutdowns, log-offs and locks
After=systemd-logind.service

[Service]
ExecStart=$(quote_word "$service") --schedule $(quote_word "$schedule") --user $user
Restart=on-failure
# A check of the schedule is a few reads every 45 seconds: kept at the back
# of the queue for the processors and the disk, so the machine stays
# responsive whatever the service meets.
Nice=10
CPUQuota=20%
IOSchedulingClass=idle
IOWeight=10
# Root only for its calls to logind over the system bus; every file operation
# is the user's (the program takes the user's identity for its files, which
# needs CAP_SETUID and CAP_SETGID and nothing else). Beyond that, the service
# sees the system read-only, but for the user's schedule folder.
CapabilityBoundingSet=CAP_SETUID CAP_SETGID
AmbientCapabilities=
NoNewPrivileges=yes
ProtectSystem=strict
ProtectHome=read-only
ReadWritePaths=$(quote_path "$folder")
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
# About 4 MB resident while it waits; its peak, a tick that rewrites the
# largest schedule it reads (4 MiB), is about 21 MB: room to spare, and a
# service gone wrong is stopped long before it weighs on the machine.
MemoryMax=32M
TasksMax=16

[Install]
WantedBy=multi-user.target
UNIT
chmod 644 "$new"

# Read back twice before it is put in place: by systemd itself (where
# systemd-analyze is there), which must find nothing to say about it, and
# by a reading of its own here that knows nothing of how it was written.
if command -v systemd-analyze >/dev/null 2>&1; then
    said=$(systemd-analyze verify "$new" 2>&1) || refuse "systemd refuses the unit: $(printf '%s' "$said" | head -n1)"
    said=$(printf '%s\n' "$said" | grep -F 'tolvane.service' || true)
    [ -z "$said" ] || refuse "systemd reads the unit with: $(printf '%s' "$said" | head -n1)"
fi
# The whole file as systemd splits it: lines (a trailing backslash would join
# two, so there is none), sections, "key=value" settings. There must be one
# [Unit], [Service] and [Install] each, in that order, only the settings this
# script writes, [Install] only WantedBy=multi-user.target, and ExecStart= and
# ReadWritePaths= unquoted as systemd unquotes them must give back exactly the
# program, the schedule, the user and the folder.
said=$(want_program=$service want_schedule=$schedule want_user=$user want_folder=$folder awk '
function fail(why) { print why; failed = 1; exit 1 }
# Only %% and $$ are written: a lone % would be a specifier, a lone $ a
# variable; `sign` is which of the two is undone.
function undouble(s, sign, what,    out, c, i) {
    out = ""
    for (i = 1; i <= length(s); i++) {
        c = substr(s, i, 1)
        if (c == sign) {
            if (substr(s, i + 1, 1) != sign) fail("a " what " in " key)
            i++
        }
        out = out c
    }
    return out
}
function unspecify(s) { return undouble(s, "%", "specifier") }
function undollar(s) { return undouble(s, "$", "variable") }
# Words split at blanks; a quote opens a word and closes it; a backslash keeps
# the next character, and only \\ \" and \x27 are written (they read the same
# with and without C escapes).
function split_words(s, words,    n, i, c, w, q, len) {
    n = 0; i = 1; len = length(s)
    while (1) {
        while (i <= len && (substr(s, i, 1) == " " || substr(s, i, 1) == "\t")) i++
        if (i > len) break
        w = ""; q = ""
        if (substr(s, i, 1) == "\"" || substr(s, i, 1) == "\047") { q = substr(s, i, 1); i++ }
        while (1) {
            if (i > len) {
                if (q != "") fail("unbalanced quotes in " key)
                break
            }
            c = substr(s, i, 1)
            if (q == "" && (c == " " || c == "\t")) break
            if (c == "\\") {
                c = substr(s, i + 1, 1)
                if (c != "\\" && c != "\"" && c != "\047") fail("an escape in " key)
                w = w c; i += 2; continue
            }
            if (q != "" && c == q) {
                i++
                if (i <= len && substr(s, i, 1) != " " && substr(s, i, 1) != "\t")
                    fail("text after a closing quote in " key)
                q = ""; break
            }
            if (q == "" && (c == "\"" || c == "\047")) fail("a quote inside a word in " key)
            w = w c; i++
        }
        words[++n] = w
    }
    return n
}
BEGIN {
    split("Unit Service Install", order, " ")
    split("Description After", k, " "); for (i in k) allowed["Unit", k[i]] = 1
    split("ExecStart Restart Nice CPUQuota IOSchedulingClass IOWeight CapabilityBoundingSet " \
          "AmbientCapabilities NoNewPrivileges ProtectSystem ProtectHome ReadWritePaths " \
          "PrivateTmp PrivateDevices PrivateNetwork PrivateIPC PrivateMounts IPAddressDeny " \
          "RestrictAddressFamilies ProtectKernelTunables ProtectKernelModules ProtectKernelLogs " \
          "ProtectControlGroups ProtectClock ProtectHostname ProtectProc ProcSubset " \
          "RestrictNamespaces RestrictRealtime RestrictSUIDSGID LockPersonality " \
          "MemoryDenyWriteExecute SystemCallArchitectures SystemCallFilter " \
          "SystemCallErrorNumber UMask KeyringMode DevicePolicy MemoryMax TasksMax", k, " ")
    for (i in k) allowed["Service", k[i]] = 1
    allowed["Install", "WantedBy"] = 1
    sections = 0; section = ""
}
{
    line = $0
    sub(/^[ \t]+/, "", line); sub(/[ \t\r]+$/, "", line)
    if (line ~ /\\$/) fail("line " NR " goes on onto the next")
    if (line == "" || line ~ /^[#;]/) next
    if (line ~ /^\[.*\]$/) {
        section = substr(line, 2, length(line) - 2)
        if (++sections > 3 || section != order[sections]) fail("the section [" section "] at line " NR)
        next
    }
    if (section == "") fail("a setting before any section at line " NR)
    eq = index(line, "=")
    if (eq == 0) fail("line " NR " is no setting")
    key = substr(line, 1, eq - 1); sub(/[ \t]+$/, "", key)
    value = substr(line, eq + 1); sub(/^[ \t]+/, "", value)
    if (!((section, key) in allowed)) fail("the setting " key "= in [" section "]")
    if (key != "SystemCallFilter" && seen[section, key]++) fail("a second " key "=")
    if (section == "Install" && value != "multi-user.target") fail("WantedBy=" value)
    if (key == "ExecStart") {
        if (value !~ /^"/) fail("a prefix or no quote before the program in ExecStart")
        n = split_words(unspecify(value), words)
        if (n != 5) fail(n " words in ExecStart, not 5")
        for (i = 1; i <= n; i++) words[i] = undollar(words[i])
        if (words[1] != ENVIRON["want_program"]) fail("ExecStart runs another program")
        if (words[2] != "--schedule" || words[4] != "--user") fail("other options in ExecStart")
        if (words[3] != ENVIRON["want_schedule"]) fail("another schedule in ExecStart")
        if (words[5] != ENVIRON["want_user"]) fail("another user in ExecStart")
    }
    if (key == "ReadWritePaths") {
        n = split_words(value, words)
        if (n != 1) fail(n " paths in ReadWritePaths, not 1")
        if (unspecify(words[1]) != "-" ENVIRON["want_folder"]) fail("another folder in ReadWritePaths")
    }
}
END {
    if (failed) exit 1
    if (sections != 3) fail(sections " sections, not 3")
    if (!seen["Service", "ExecStart"]) fail("no ExecStart=")
    if (!seen["Service", "ReadWritePaths"]) fail("no ReadWritePaths=")
    if (!seen["Install", "WantedBy"]) fail("no WantedBy=")
}' "$new") || refuse "the unit written does not read back as intended: $said"

mv -f "$new" "$unit"
systemctl daemon-reload
systemctl enable --now tolvane.service
echo "The Tolvane service is installed and running: $unit"
