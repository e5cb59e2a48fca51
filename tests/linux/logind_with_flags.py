'''systemd-logind as Debian 12 has it (systemd 252), for Tolvane's tests.

dbusmock's stock logind template predates RebootWithFlags and
PowerOffWithFlags; this adds them, refusing unknown flag bits as logind does
(only 0x1, block inhibitors apply to root too, and 0x2, reboot via kexec).
It lacks the scheduled shutdown too: ScheduleShutdown takes the types
logind 252 takes (poweroff, reboot, halt, kexec, each also with "dry-" in
front) and refuses others as it does; the ScheduledShutdown property shows
what is scheduled (the action without "dry-", and its moment; nothing: an
empty action and 0), which CancelScheduledShutdown clears, answering
whether one was scheduled.
'''
import dbus  # noqa: F401 (used by the method bodies)
from dbusmock.templates import logind
from dbusmock.templates.logind import *  # noqa: F401,F403 (the mock's convenience methods)

BUS_NAME = logind.BUS_NAME
MAIN_OBJ = logind.MAIN_OBJ
MAIN_IFACE = logind.MAIN_IFACE
SYSTEM_BUS = True

CHECK_FLAGS = ('if args[0] & ~3: raise dbus.exceptions.DBusException('
               '"Invalid flags parameter", name="org.freedesktop.DBus.Error.InvalidArgs")')


CHECK_SHUTDOWN_TYPE = (
    'kind = args[0][4:] if args[0].startswith("dry-") else args[0]\n'
    'if kind not in ("poweroff", "reboot", "halt", "kexec"): '
    'raise dbus.exceptions.DBusException("Unsupported shutdown type: " + kind, '
    'name="org.freedesktop.DBus.Error.InvalidArgs")\n'
    'self.Set("org.freedesktop.login1.Manager", "ScheduledShutdown", '
    'dbus.Struct((kind, dbus.UInt64(args[1])), signature="st"))')
CANCEL_SHUTDOWN = (
    'ret = self.Get("org.freedesktop.login1.Manager", "ScheduledShutdown")[0] != ""\n'
    'self.Set("org.freedesktop.login1.Manager", "ScheduledShutdown", dbus.Struct(("", dbus.UInt64(0)), signature="st"))')


def load(mock, parameters):
    logind.load(mock, parameters)
    mock.AddMethods(MAIN_IFACE, [
        ('RebootWithFlags', 't', '', CHECK_FLAGS),
        ('PowerOffWithFlags', 't', '', CHECK_FLAGS),
        ('ScheduleShutdown', 'st', '', CHECK_SHUTDOWN_TYPE),
        ('CancelScheduledShutdown', '', 'b', CANCEL_SHUTDOWN),
    ])
    mock.AddProperty(MAIN_IFACE, 'ScheduledShutdown',
                     dbus.Struct(('', dbus.UInt64(0)), signature='st'))
