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

# The test's own bus; nothing here may reach the machine's system bus. Its
# configuration names no service folder, so no service the machine has
# installed is ever started on it: only the mock below serves a name.
cat >"$work/system.conf" <<EOF
<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>session</type>
  <listen>unix:path=$work/system</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow send_destination="*" eavesdrop="true"/>
    <allow eavesdrop="true"/>
    <allow own="*"/>
  </policy>
</busconfig>
EOF
dbus-daemon --config-file="$work/system.conf" --nofork --nopidfile --nosyslog \
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
