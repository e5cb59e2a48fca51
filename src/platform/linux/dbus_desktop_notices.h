#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <map>
#include <string>

#include "platform/desktop_notices.h"

namespace tolvane {

// Notices through the desktop's notification service
// (org.freedesktop.Notifications on the session bus), the one choice as the
// notice's action "skip". Urgent notices are critical, every notice names the
// program's desktop entry, and a notice of a series replaces the series' last.
// Where no service runs or can be started, Show says so and nothing is shown.
class DBusDesktopNotices final : public QObject, public DesktopNotices {
    Q_OBJECT

  public:
    explicit DBusDesktopNotices(QDBusConnection sessionBus);
    bool Show(const DesktopNotice& notice, std::function<void()> skip) override;
    // Notices whose number the service has not yet given back; a choice
    // made on one of them cannot be matched to it until then.
    int Pending() const { return pending_; }

  private slots:
    void ActionInvoked(uint id, const QString& action);
    void NotificationClosed(uint id, uint reason);

  private:
    QDBusConnection bus_;
    std::map<uint, std::function<void()>> skips_;  // by the notice's number
    std::map<std::string, uint> series_;           // the last notice of each series
    int pending_ = 0;
};

}  // namespace tolvane
