#include "platform/linux/logind_system_power.h"

#include <QDBusArgument>
#include <QDBusError>
#include <QDBusMessage>

namespace tolvane {

namespace {

const QString kLogind = "org.freedesktop.login1";
const QString kLogindPath = "/org/freedesktop/login1";
const QString kManager = "org.freedesktop.login1.Manager";
constexpr quint64 kBlockInhibitorsForRoot = 1;

std::string Describe(const QDBusError& error) {
    return (error.name() + ": " + error.message()).toStdString();
}

}  // namespace

LogindSystemPower::LogindSystemPower(QDBusConnection systemBus, uid_t user)
    : bus_(std::move(systemBus)), user_(user) {}

bool LogindSystemPower::Call(const QString& method, const QVariantList& arguments,
                             std::string& reason) {
    auto message = QDBusMessage::createMethodCall(kLogind, kLogindPath, kManager, method);
    message.setArguments(arguments);
    message.setInteractiveAuthorizationAllowed(false);
    const QDBusMessage reply = bus_.call(message);
    if (reply.type() != QDBusMessage::ErrorMessage) return true;
    reason = Describe(QDBusError(reply));
    return false;
}

bool LogindSystemPower::EndMachine(const QString& withFlags, const QString& plain, bool force,
                                   std::string& reason) {
    if (!force) {
        if (Call(withFlags, {QVariant::fromValue(kBlockInhibitorsForRoot)}, reason)) return true;
        if (reason.rfind("org.freedesktop.DBus.Error.UnknownMethod", 0) != 0) return false;
    }
    return Call(plain, {false}, reason);
}

bool LogindSystemPower::Reboot(bool force, std::string& reason) {
    return EndMachine("RebootWithFlags", "Reboot", force, reason);
}

bool LogindSystemPower::ShutDown(bool force, std::string& reason) {
    return EndMachine("PowerOffWithFlags", "PowerOff", force, reason);
}

bool LogindSystemPower::LogOff(bool, std::string& reason) {
    return ForEachSession("TerminateSession", reason);
}

bool LogindSystemPower::Lock(std::string& reason) {
    return ForEachSession("LockSession", reason);
}

QStringList LogindSystemPower::UserSessions(std::string& reason) {
    QStringList sessions;
    const QDBusMessage reply =
        bus_.call(QDBusMessage::createMethodCall(kLogind, kLogindPath, kManager, "ListSessions"));
    if (reply.type() == QDBusMessage::ErrorMessage) {
        reason = Describe(QDBusError(reply));
        return sessions;
    }
    // a(susso): id, uid, user name, seat, object path.
    const QDBusArgument list = reply.arguments().value(0).value<QDBusArgument>();
    list.beginArray();
    while (!list.atEnd()) {
        QString id, name, seat;
        uint uid = 0;
        QDBusObjectPath path;
        list.beginStructure();
        list >> id >> uid >> name >> seat >> path;
        list.endStructure();
        if (uid == user_) sessions << id;
    }
    list.endArray();
    if (sessions.isEmpty()) reason = "no session of user " + std::to_string(user_);
    return sessions;
}

bool LogindSystemPower::ForEachSession(const QString& method, std::string& reason) {
    const QStringList sessions = UserSessions(reason);
    bool all = !sessions.isEmpty();
    for (const QString& id : sessions) {
        std::string failed;
        if (!Call(method, {id}, failed)) {
            all = false;
            reason +=
                (reason.empty() ? "" : "; ") + ("session " + id.toStdString() + ": " + failed);
        }
    }
    return all;
}

}  // namespace tolvane
