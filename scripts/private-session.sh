# Sourced by the measuring scripts: a private X display and private D-Bus
# buses, so a program under measurement can neither reach the machine's real
# logind nor touch the user's settings.
#
#   private_session_start WORKDIR   starts Xvfb, a system bus with a logind
#                                   stand-in (python3-dbusmock) and a session
#                                   bus; exports DISPLAY and the bus addresses
#   private_home DIR                points HOME and the XDG folders into DIR
#   private_session_stop            ends what private_session_start started
#
# Every process started here is remembered by its PID and ended by it.

private_session_pids=()

private_session_stop() {
    local pid
    for pid in "${private_session_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${private_session_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    private_session_pids=()
}

# A bus daemon that serves only its socket, with no activatable services, so a
# name nobody owns fails at once instead of starting a program.
_private_bus() {
    local dir=$1 name=$2
    cat >"$dir/$name.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$dir/$name.socket</listen>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
    dbus-daemon --nofork --config-file="$dir/$name.conf" >/dev/null 2>&1 &
    private_session_pids+=($!)
    local _
    for _ in $(seq 200); do [ -S "$dir/$name.socket" ] && break; sleep 0.05; done
    [ -S "$dir/$name.socket" ] || { echo "the private $name bus did not start" >&2; return 1; }
}

private_session_start() {
    local dir=$1 _
    mkdir -p "$dir"

    _private_bus "$dir" system
    _private_bus "$dir" session
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$dir/system.socket"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$dir/session.socket"
    case "$DBUS_SYSTEM_BUS_ADDRESS" in
        *"$dir"*) ;;
        *) echo "refusing: the system bus address is not the private one" >&2; return 1 ;;
    esac

    # logind as programs expect to find it; its calls are only recorded.
    /usr/bin/python3 -m dbusmock --system --template logind >/dev/null 2>&1 &
    private_session_pids+=($!)
    for _ in $(seq 200); do
        dbus-send --bus="$DBUS_SYSTEM_BUS_ADDRESS" --print-reply --dest=org.freedesktop.DBus \
            /org/freedesktop/DBus org.freedesktop.DBus.NameHasOwner string:org.freedesktop.login1 \
            2>/dev/null | grep -q 'boolean true' && break
        sleep 0.05
    done

    Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp 3>"$dir/display" 2>"$dir/xvfb.log" &
    private_session_pids+=($!)
    for _ in $(seq 200); do [ -s "$dir/display" ] && break; sleep 0.05; done
    [ -s "$dir/display" ] || { echo "Xvfb did not start" >&2; return 1; }
    export DISPLAY=":$(head -n1 "$dir/display")"

    # No desktop: neither program may take a desktop-specific path.
    unset QT_QPA_PLATFORM WAYLAND_DISPLAY DESKTOP_SESSION XDG_CURRENT_DESKTOP KDE_FULL_SESSION \
        XDG_SESSION_TYPE SESSION_MANAGER
}

private_home() {
    local dir=$1
    export HOME="$dir" XDG_CONFIG_HOME="$dir/.config" XDG_DATA_HOME="$dir/.local/share"
    export XDG_CACHE_HOME="$dir/.cache" XDG_RUNTIME_DIR="$dir/runtime"
    mkdir -p "$XDG_CONFIG_HOME" "$XDG_DATA_HOME" "$XDG_CACHE_HOME"
    mkdir -p -m 0700 "$XDG_RUNTIME_DIR"
}

# Runs an X client command, again when it could not connect: on these
# machines about one X connection in a hundred is refused, with any client.
x_retry() {
    local out _
    for _ in 1 2 3 4 5; do
        if out=$("$@" 2>&1); then
            printf '%s\n' "$out"
            return 0
        fi
        case $out in
            *"open display"*) ;;
            *) return 1 ;;
        esac
    done
    return 1
}

# Starts an X client in the background with its output in LOG, and waits
# until the shell test READY holds ($pid stands for the client's PID) or the
# client has ended; the bound only guards against a hang. Started again only
# when the X server refused its connection (about one in a hundred here).
# Sets x_client_pid; the caller ends it.
x_client_start() {
    local log=$1 ready=$2 _
    shift 2
    for _ in 1 2 3; do
        "$@" >"$log" 2>&1 &
        x_client_pid=$!
        local check=${ready//\$pid/$x_client_pid}
        for _ in $(seq 2400); do
            bash -c "$check" >/dev/null 2>&1 && return 0
            kill -0 "$x_client_pid" 2>/dev/null || break
            sleep 0.05
        done
        kill -0 "$x_client_pid" 2>/dev/null && return 1
        grep -qiE "open display|connect to display" "$log" || return 1
        echo "the X server refused $1; starting it again" >&2
    done
    return 1
}

# True when the process has a visible window whose title matches the
# extended regular expression. (xdotool's own --name misses some toolkits'
# titles, and --pid with --name matches either.)
window_shown() {
    local pid=$1 title=$2 w
    for w in $(x_retry xdotool search --onlyvisible --pid "$pid"); do
        x_retry xdotool getwindowname "$w" | grep -qE "$title" && return 0
    done
    return 1
}

# Resident memory of a process and every process below it, in KiB.
tree_rss_kib() {
    local pid=$1 total child
    total=$(awk '/^VmRSS/ { print $2 }' "/proc/$pid/status" 2>/dev/null || echo 0)
    for child in $(cat /proc/"$pid"/task/*/children 2>/dev/null); do
        total=$((total + $(tree_rss_kib "$child")))
    done
    echo "${total:-0}"
}

median() {
    printf '%s\n' "$@" | sort -n |
        awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'
}
