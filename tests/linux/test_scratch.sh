# shellcheck shell=bash
# Sourced by the Linux shell tests: a scratch folder and the processes a test
# starts, all gone at exit.
#
#   source test_scratch.sh NAME
#
# Sets `work` (an empty folder /tmp/tolvane-NAME.XXXXXX) and `hang_guard`, and
# defines `fail MESSAGE`, `started PID` (the process is ended by its PID at
# exit, before the folder is removed) and `within COMMAND [ARGS]` (runs the
# command, output discarded, until it succeeds; it gives up only after
# hang_guard seconds, which turns a hang into a failure and is far more than a
# loaded machine needs).

fail() { printf 'FAILED: %s\n' "$*" >&2; exit 1; }

work=$(mktemp -d "/tmp/tolvane-$1.XXXXXX")
scratch_pids=()
started() { scratch_pids+=("$1"); }
scratch_finish() {
    local pid
    for pid in "${scratch_pids[@]}"; do kill "$pid" 2>/dev/null || true; done
    for pid in "${scratch_pids[@]}"; do wait "$pid" 2>/dev/null || true; done
    rm -rf "$work"
}
trap scratch_finish EXIT

hang_guard=120
within() {
    local deadline=$((SECONDS + hang_guard))
    until "$@" >/dev/null 2>&1; do
        [ "$SECONDS" -lt "$deadline" ] || return 1
        sleep 0.05
    done
}

# Points HOME, the XDG folders ($work/home, and CONFIG and DATA) and both D-Bus
# addresses away from the user's and the machine's: no power request can
# leave a program started here, and Qt takes X11's tray, not a desktop's.
isolated_home() {
    export HOME="$work/home" XDG_CONFIG_HOME=$1 XDG_DATA_HOME=$2 XDG_RUNTIME_DIR="$work/runtime"
    export DBUS_SYSTEM_BUS_ADDRESS="unix:path=$work/no-bus"
    export DBUS_SESSION_BUS_ADDRESS="unix:path=$work/no-bus"
    unset QT_QPA_PLATFORM WAYLAND_DISPLAY
    mkdir -p "$HOME" "$XDG_CONFIG_HOME" "$XDG_DATA_HOME"
    mkdir -m 0700 "$XDG_RUNTIME_DIR"
}

# A virtual X server of the test's own; exports DISPLAY.
start_xvfb() {
    Xvfb -displayfd 3 -screen 0 800x600x24 -nolisten tcp 3>"$work/display" 2>"$work/xvfb.log" &
    started $!
    within test -s "$work/display" || fail "Xvfb did not start"
    export DISPLAY=":$(head -n1 "$work/display")"
}
