#include "platform/linux/dbus_desktop_notices.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

namespace tolvane {

namespace {
const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
const QString kInterface = QStringLiteral("org.freedesktop.Notifications");
const QString kSkipAction = QStringLiteral("skip");
}  // namespace

DBusDesktopNotices::DBusDesktopNotices(QDBusConnection sessionBus) : bus_(std::move(sessionBus)) {
    if (!bus_.isConnected()) return;
    bus_.connect(kService, kPath, kInterface, QStringLiteral("ActionInvoked"), this,
                 SLOT(ActionInvoked(uint, QString)));
    bus_.connect(kService, kPath, kInterface, QStringLiteral("NotificationClosed"), this,
                 SLOT(NotificationClosed(uint, uint)));
}

bool DBusDesktopNotices::Show(const DesktopNotice& notice, std::function<void()> skip) {
    if (!bus_.isConnected()) return false;
    QDBusConnectionInterface* names = bus_.interface();
    if (!names || (!names->isServiceRegistered(kService).value() &&
                   !names->activatableServiceNames().value().contains(kService))) {
        return false;
    }
    QDBusMessage notify =
        QDBusMessage::createMethodCall(kService, kPath, kInterface, QStringLiteral("Notify"));
    const QString title = QString::fromStdString(notice.title);
    notify << title << uint(0) << QStringLiteral("tolvane") << title
           << QString::fromStdString(notice.text)
           << QStringList{kSkipAction, QString::fromStdString(notice.skipLabel)} << QVariantMap{}
           << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(notify), this);
    ++pending_;
    QObject::connect(watcher, &QDBusPendingCallWatcher::finished, this,
                     [this, skip = std::move(skip)](QDBusPendingCallWatcher* finished) {
                         finished->deleteLater();
                         --pending_;
                         const QDBusPendingReply<uint> reply = *finished;
                         if (!reply.isError()) skips_[reply.value()] = skip;
                     });
    return true;
}

void DBusDesktopNotices::ActionInvoked(uint id, const QString& action) {
    const auto found = skips_.find(id);
    if (found == skips_.end() || action != kSkipAction) return;
    const auto skip = std::move(found->second);
    skips_.erase(found);
    skip();
}

void DBusDesktopNotices::NotificationClosed(uint id, uint) {
    skips_.erase(id);
}

}  // namespace tolvane
