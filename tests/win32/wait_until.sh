# Sourced by the Windows test scripts.
#
#   wait_until COMMAND [ARGS]
#
# Runs the command every tenth of a second until it succeeds (status 0), or
# returns 1 once hang_guard seconds have passed without that. The guard only
# turns a hang into a failure: it is far more than a loaded machine needs, and
# nothing waits for it when all goes well.
hang_guard=120

wait_until() {
    wait_until_deadline=$(($(date +%s) + hang_guard))
    until "$@"; do
        [ "$(date +%s)" -lt "$wait_until_deadline" ] || return 1
        sleep 0.1
    done
}
