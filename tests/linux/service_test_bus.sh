# Sourced by the service's script tests: a scratch folder, a private system
# bus with a logind mock on it, and libfaketime. Sets `work`, `faketime_lib`,
# DBUS_SYSTEM_BUS_ADDRESS and the functions `fail`, `mock` (a call to the
# mock's object) and `started` (remembers a PID to end at exit).
#
#   source service_test_bus.sh LOGIND-TEMPLATE
# Waits are bounded only against a hang.

fail() { printf 'FAILED: %s\n' "$*" >&2; exit 1; }
faketime_lib=$(find /usr/lib -name 'libfaketime.so.1' 2>/dev/null | head -n 1)
[ -n "$faketime_lib" ] || fail "libfaketime is not installed"

work=$(mktemp -d /tmp/tolvane-service.XXXXXX)
chmod 755 "$work"
pids=()
started() { pids+=("$1"); }
finish() {
    for pid in "${pids[@]}"; do kill "$pid" 2>/dev/null; done
    for pid in "${pids[@]}"; do wait "$pid" 2>/dev/null; done
    rm -rf "$work"
}
trap finish EXIT

# The test's own bus; nothing here may reach the machine's system bus.
dbus-daemon --session --address="unix:path=$work/system" --nofork --nopidfile \
    --print-address=3 3>"$work/address" &
started $!
for _ in $(seq 1200); do [ -s "$work/address" ] && break; sleep 0.1; done
address=$(head -n 1 "$work/address")
case $address in
    "unix:path=$work/system"*) ;;
    *) fail "no private bus (got '$address'); refusing to run" ;;
esac
export DBUS_SYSTEM_BUS_ADDRESS=$address

/usr/bin/python3 -m dbusmock --system --template "$1" >"$work/mock.log" 2>&1 &
started $!
mock() { dbus-send --system --print-reply --dest=org.freedesktop.login1 /org/freedesktop/login1 "$@"; }
for _ in $(seq 1200); do mock org.freedesktop.DBus.Mock.ClearCalls >/dev/null 2>&1 && break; sleep 0.1; done
mock org.freedesktop.DBus.Mock.ClearCalls >/dev/null || fail "the logind mock did not start"
