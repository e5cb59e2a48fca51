# Sourced by the service's script tests: a scratch folder (test_scratch.sh),
# a private system bus with a logind mock on it, and libfaketime. Sets
# `faketime_lib`, DBUS_SYSTEM_BUS_ADDRESS and the function `mock` (a call to
# the mock's object), besides what test_scratch.sh gives.
#
#   source service_test_bus.sh LOGIND-TEMPLATE
# Waits are bounded only against a hang.

# shellcheck source=test_scratch.sh
source "$(dirname "${BASH_SOURCE[0]}")/test_scratch.sh" service
chmod 755 "$work"
faketime_lib=$(find /usr/lib -name 'libfaketime.so.1' 2>/dev/null | head -n 1)
[ -n "$faketime_lib" ] || fail "libfaketime is not installed"

# The test's own bus; nothing here may reach the machine's system bus.
dbus-daemon --session --address="unix:path=$work/system" --nofork --nopidfile \
    --print-address=3 3>"$work/address" &
started $!
within test -s "$work/address"
address=$(head -n 1 "$work/address")
case $address in
    "unix:path=$work/system"*) ;;
    *) fail "no private bus (got '$address'); refusing to run" ;;
esac
export DBUS_SYSTEM_BUS_ADDRESS=$address

/usr/bin/python3 -m dbusmock --system --template "$1" >"$work/mock.log" 2>&1 &
started $!
mock() { dbus-send --system --print-reply --dest=org.freedesktop.login1 /org/freedesktop/login1 "$@"; }
within mock org.freedesktop.DBus.Mock.ClearCalls || fail "the logind mock did not start"
