#!/usr/bin/env bash
# One record written through the journal's native protocol, read back with
# the query administrators use: journalctl -t tolvane TOLVANE_RESULT=done.
# Where no journald runs, root starts one of the test's own in a private mount
# namespace (tmpfs over /run and /var/log, so nothing of the machine changes);
# otherwise the test is skipped (77).
set -euo pipefail
probe=$1

if [[ ${TOLVANE_PRIVATE_JOURNAL:-} == started ]]; then
    # In the private namespace: /run and /var/log are the test's own (tmpfs,
    # written without mount's own record in /run/mount), so neither journald's
    # sockets nor its files reach the machine's.
    mount -n -t tmpfs -o mode=0755 tmpfs /run &&
        mount -n -t tmpfs -o mode=0755 tmpfs /var/log ||
        { echo "SKIP: no private /run and /var/log for a journald of the test's own"; exit 77; }
    mkdir -p /run/systemd/journal
    # journald's readiness, as it tells systemd, is what the test waits for.
    if ! journald_pid=$(python3 - "$TOLVANE_JOURNALD" <<'PY'
import os, socket, subprocess, sys
path = "/run/systemd/tolvane-notify"
ready = socket.socket(socket.AF_UNIX, socket.SOCK_DGRAM)
ready.bind(path)
ready.settimeout(60)  # a hang guard: readiness comes in well under a second
journald = subprocess.Popen([sys.argv[1]], env=dict(os.environ, NOTIFY_SOCKET=path),
                            stdout=subprocess.DEVNULL, stderr=subprocess.DEVNULL)
try:
    while b"READY=1" not in ready.recv(4096):
        pass
except socket.timeout:
    journald.kill()
    sys.exit(1)
print(journald.pid)
PY
    ); then
        echo "SKIP: a journald of the test's own did not start here"
        exit 77
    fi
    trap 'kill "$journald_pid" 2>/dev/null || true' EXIT
    echo "A private journald of the test's own (pid $journald_pid)"
elif [[ -S /run/systemd/journal/socket ]] && command -v journalctl >/dev/null; then
    if [[ $(id -u) -ne 0 ]] && ! id -nG | tr ' ' '\n' | grep -qxE 'systemd-journal|adm'; then
        echo "SKIP: this user cannot read the system's journal"
        exit 77
    fi
    echo "The machine's journald"
else
    journald=""
    for candidate in /usr/lib/systemd/systemd-journald /lib/systemd/systemd-journald; do
        [[ -x $candidate ]] && journald=$candidate && break
    done
    if [[ $(id -u) -ne 0 || -z $journald || ! -d /var/log ]] ||
        ! command -v journalctl unshare python3 >/dev/null ||
        ! unshare --mount --propagation private true 2>/dev/null; then
        echo "SKIP: no journald here, and none of the test's own can be started (needs root)"
        exit 77
    fi
    TOLVANE_PRIVATE_JOURNAL=started TOLVANE_JOURNALD=$journald \
        exec unshare --mount --propagation private bash "$0" "$@"
fi

line="Sunday 06:00 PM Reboot probe-$$-$RANDOM"
"$probe" "$line"

# journalctl -f -n all prints the entry whether journald has stored it yet or
# stores it later, so the test waits for the entry itself.
exec {reader}< <(exec timeout 60 journalctl -q -t tolvane TOLVANE_RESULT=done "TOLVANE_LINE=$line" \
                    -f -n all -o export)
reader_pid=$!
entry=""
while IFS= read -r -u "$reader" field && [[ -n $field ]]; do
    entry+="$field"$'\n'
done
kill "$reader_pid" 2>/dev/null || true
exec {reader}<&-

fail=0
for want in "SYSLOG_IDENTIFIER=tolvane" "PRIORITY=6" "TOLVANE_LINE=$line" \
            "TOLVANE_SCHEDULE=/etc/tolvane/rebootdata.kx" "TOLVANE_USER=(all users)" \
            "TOLVANE_RESULT=done" "MESSAGE=Requested reboot for: $line"; do
    if ! grep -qxF -- "$want" <<<"$entry"; then
        echo "FAIL: the journal's entry lacks $want"
        fail=1
    fi
done
[[ $fail -eq 0 ]] && echo "PASS: read back from the journal: $line"
exit $fail
