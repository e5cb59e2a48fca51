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
    // The service gives a replacing notice the number of the one it replaces.
    const auto earlier = notice.series.empty() ? series_.end() : series_.find(notice.series);
    const uint replaces = earlier == series_.end() ? 0 : earlier->second;
    QStringList actions;
    if (!notice.skipLabel.empty()) actions << kSkipAction << QString::fromStdString(notice.skipLabel);
    // Critical stays until dismissed; the desktop entry names the program
    // (its icon, its settings in the desktop's notification preferences).
    const QVariantMap hints{
        {QStringLiteral("urgency"), QVariant::fromValue(uchar(notice.urgent ? 2 : 1))},
        {QStringLiteral("desktop-entry"), QStringLiteral("tolvane")},
    };
    notify << title << replaces << QStringLiteral("tolvane") << title
           << QString::fromStdString(notice.text) << actions << hints << int(-1);
    auto* watcher = new QDBusPendingCallWatcher(bus_.asyncCall(notify), this);
    ++pending_;
    QObject::connect(
        watcher, &QDBusPendingCallWatcher::finished, this,
        [this, series = notice.series, skip = std::move(skip)](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            --pending_;
            const QDBusPendingReply<uint> reply = *finished;
            if (reply.isError()) return;
            if (!series.empty()) series_[series] = reply.value();
            if (skip) {
                skips_[reply.value()] = skip;
            } else {
                skips_.erase(reply.value());  // a replacement without the choice
            }
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
    std::erase_if(series_, [&](const auto& entry) { return entry.second == id; });
}

}  // namespace tolvane
