#include "platform/linux/logind_session_power.h"

#include <QDBusError>
#include <QDBusMessage>
#include <QDBusObjectPath>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QTimer>

namespace tolvane {

namespace {

const QString kLogind = QStringLiteral("org.freedesktop.login1");
const QString kLogindPath = QStringLiteral("/org/freedesktop/login1");
const QString kLogindManager = QStringLiteral("org.freedesktop.login1.Manager");
const QString kLogindSession = QStringLiteral("org.freedesktop.login1.Session");
const QString kCallersSession = QStringLiteral("auto");

// RebootWithFlags / PowerOffWithFlags: block inhibitors apply to root too.
constexpr quint64 kCheckInhibitors = 1;

// An interactive call can wait on the user typing a password.
constexpr int kInteractiveTimeoutMs = 10 * 60 * 1000;

// The errors that mean "that service is not here", so the next may be asked.
bool NotThere(const QDBusError& error) {
    switch (error.type()) {
        case QDBusError::ServiceUnknown:
        case QDBusError::UnknownObject:
        case QDBusError::UnknownInterface:
        case QDBusError::UnknownMethod:
        case QDBusError::Disconnected:
            return true;
        default:
            return error.name() == QLatin1String("org.freedesktop.DBus.Error.NameHasNoOwner");
    }
}

}  // namespace

std::vector<DBusMethod> SessionManagerLogouts() {
    return {
        // GNOME, and MATE and Cinnamon, which serve the same interface. Mode 1:
        // no confirmation dialog; applications' inhibitors still apply.
        {"org.gnome.SessionManager",
         "/org/gnome/SessionManager",
         "org.gnome.SessionManager",
         "Logout",
         {QVariant::fromValue<quint32>(1)}},
        // KDE Plasma 5.25 and later, then older Plasma.
        {"org.kde.Shutdown", "/Shutdown", "org.kde.Shutdown", "logout", {}},
        {"org.kde.ksmserver", "/KSMServer", "org.kde.KSMServerInterface", "logout", {0, 0, 0}},
        // Xfce: no dialog, let applications save.
        {"org.xfce.SessionManager",
         "/org/xfce/SessionManager",
         "org.xfce.Session.Manager",
         "Logout",
         {false, true}},
    };
}

std::vector<DBusMethod> ScreenSaverLocks() {
    return {
        {"org.freedesktop.ScreenSaver", "/ScreenSaver", "org.freedesktop.ScreenSaver", "Lock", {}},
        {"org.gnome.ScreenSaver", "/org/gnome/ScreenSaver", "org.gnome.ScreenSaver", "Lock", {}},
        {"org.cinnamon.ScreenSaver",
         "/org/cinnamon/ScreenSaver",
         "org.cinnamon.ScreenSaver",
         "Lock",
         {}},
        {"org.mate.ScreenSaver", "/org/mate/ScreenSaver", "org.mate.ScreenSaver", "Lock", {}},
        {"org.xfce.ScreenSaver", "/org/xfce/ScreenSaver", "org.xfce.ScreenSaver", "Lock", {}},
    };
}

LogindSessionPower::LogindSessionPower(QDBusConnection systemBus, QDBusConnection sessionBus,
                                       Report report, int lockCheckDelayMs)
    : system_(std::move(systemBus)),
      session_(std::move(sessionBus)),
      report_(std::move(report)),
      lockCheckDelayMs_(lockCheckDelayMs) {}

LogindSessionPower::~LogindSessionPower() = default;

bool LogindSessionPower::Lock(std::string& /*reason*/) {
    CallLogind(
        "LockSession", {kCallersSession}, false,
        [this](const QDBusMessage&) {
            // LockSession only asks the session's locker; give it a moment to
            // say it has locked before asking the screen saver.
            ++outstanding_;
            QTimer::singleShot(lockCheckDelayMs_, &context_, [this] {
                LockScreenUnlessLocked();
                --outstanding_;
            });
        },
        [this](const QDBusError& error) {
            // Logged only: the screen saver may still lock.
            ReportFailure("logind LockSession", error, false);
            LockThroughScreenSaver();
        });
    return true;
}

bool LogindSessionPower::Reboot(bool force, std::string& /*reason*/) {
    RequestPower(QStringLiteral("Reboot"), force);
    return true;
}

bool LogindSessionPower::ShutDown(bool force, std::string& /*reason*/) {
    RequestPower(QStringLiteral("PowerOff"), force);
    return true;
}

void LogindSessionPower::RequestPower(const QString& method, bool force) {
    if (force) {
        CallLogind(method, {true}, true);
        return;
    }
    const QString withFlags = method + QStringLiteral("WithFlags");
    CallLogind(withFlags, {QVariant::fromValue(kCheckInhibitors)}, false, {},
               [this, method, withFlags](const QDBusError& error) {
                   if (error.type() == QDBusError::UnknownMethod) {
                       CallLogind(method, {false}, false);
                   } else {
                       ReportFailure("logind " + withFlags, error);
                   }
               });
}

bool LogindSessionPower::LogOff(bool force, std::string& /*reason*/) {
    if (force) {
        TerminateOwnSession();
        return true;
    }
    TryInOrder(std::make_shared<const std::vector<DBusMethod>>(SessionManagerLogouts()), 0,
               [this] { TerminateOwnSession(); });
    return true;
}

void LogindSessionPower::TerminateOwnSession() {
    CallLogind("TerminateSession", {kCallersSession}, false);
}

void LogindSessionPower::LockScreenUnlessLocked() {
    const DBusMethod getSession{
        kLogind, kLogindPath, kLogindManager, "GetSession", {kCallersSession}};
    Call(
        system_, getSession, false, true,
        [this](const QDBusMessage& reply) {
            const QString path = reply.arguments().value(0).value<QDBusObjectPath>().path();
            const DBusMethod lockedHint{kLogind,
                                        path,
                                        "org.freedesktop.DBus.Properties",
                                        "Get",
                                        {kLogindSession, QStringLiteral("LockedHint")}};
            Call(
                system_, lockedHint, false, true,
                [this](const QDBusMessage& hint) {
                    const bool locked =
                        hint.arguments().value(0).value<QDBusVariant>().variant().toBool();
                    if (!locked) LockThroughScreenSaver();
                },
                [this](const QDBusError&) { LockThroughScreenSaver(); });
        },
        [this](const QDBusError&) { LockThroughScreenSaver(); });
}

void LogindSessionPower::LockThroughScreenSaver() {
    TryInOrder(std::make_shared<const std::vector<DBusMethod>>(ScreenSaverLocks()), 0, [this] {
        const std::string what = "No screen saver of the desktop answered the lock request.";
        if (report_) report_("tolvane: " + what);
        if (told_) told_(what);
    });
}

void LogindSessionPower::TryInOrder(std::shared_ptr<const std::vector<DBusMethod>> methods,
                                    std::size_t next, std::function<void()> noneAnswered) {
    if (next >= methods->size()) {
        noneAnswered();
        return;
    }
    const DBusMethod& method = (*methods)[next];
    // Desktop services are asked only where they already run, never started.
    Call(session_, method, false, false, {},
         [this, methods, next, noneAnswered](const QDBusError& error) {
             if (NotThere(error)) {
                 TryInOrder(methods, next + 1, noneAnswered);
             } else {
                 const DBusMethod& failed = (*methods)[next];
                 ReportFailure(failed.service + " " + failed.method, error);
             }
         });
}

void LogindSessionPower::CallLogind(const QString& method, const QVariantList& arguments,
                                    bool interactive, OnReply onReply, OnError onError) {
    if (!onError) {
        onError = [this, method](const QDBusError& error) {
            ReportFailure("logind " + method, error);
        };
    }
    Call(system_, {kLogind, kLogindPath, kLogindManager, method, arguments}, interactive, true,
         std::move(onReply), std::move(onError));
}

void LogindSessionPower::Call(QDBusConnection& bus, const DBusMethod& method, bool interactive,
                              bool startService, OnReply onReply, OnError onError) {
    QDBusMessage message = QDBusMessage::createMethodCall(method.service, method.path,
                                                          method.interface, method.method);
    message.setArguments(method.arguments);
    message.setInteractiveAuthorizationAllowed(interactive);
    message.setAutoStartService(startService);
    ++outstanding_;
    auto answered = [this, onReply = std::move(onReply),
                     onError = std::move(onError)](const QDBusMessage& reply) {
        if (reply.type() == QDBusMessage::ErrorMessage) {
            onError(QDBusError(reply));
        } else if (onReply) {
            onReply(reply);
        }
        --outstanding_;  // after any call the answer led to
    };
    if (!bus.isConnected()) {
        // A bus that could not be reached hands back a call that never
        // finishes, so nothing would ever be told. Its failure comes from the
        // event loop, as any other answer does, with why the bus is not there.
        const QDBusError why = bus.lastError();
        const QDBusMessage failed = QDBusMessage::createError(
            QDBusError::Disconnected,
            why.isValid() && !why.message().isEmpty() ? why.message()
                                                      : QStringLiteral("Not connected to D-Bus"));
        QTimer::singleShot(0, &context_, [answered = std::move(answered), failed] {
            answered(failed);
        });
        return;
    }
    auto* watcher = new QDBusPendingCallWatcher(
        bus.asyncCall(message, interactive ? kInteractiveTimeoutMs : -1), &context_);
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, &context_,
                     [answered = std::move(answered)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         answered(finished->reply());
                     });
}

void LogindSessionPower::ReportFailure(const QString& what, const QDBusError& error, bool final) {
    const std::string text =
        (what + " failed: " + error.name() + ": " + error.message()).toStdString();
    if (report_) report_("tolvane: " + text);
    if (final && told_) told_(text);
}

}  // namespace tolvane
