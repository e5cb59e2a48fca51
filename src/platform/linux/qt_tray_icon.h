#pragma once

#include <QSystemTrayIcon>
#include <functional>
#include <memory>

#include "platform/tray_icon.h"

namespace tolvane {

// The notification-area icon through QSystemTrayIcon. A click (Qt's trigger)
// or a request for its menu (a right click) asks for the window back; a
// double or middle click does nothing.
class QtTrayIcon final : public TrayIcon {
  public:
    QtTrayIcon(const QIcon& icon, std::function<void()> activated);

    // Shows the icon even when no tray is there yet: Qt hands it to a panel
    // that starts later. The showing counts as done (true) only once, and
    // only while a tray is there to show it; a window hidden without one
    // could not be brought back.
    bool Show(const std::string& tip) override;
    // Qt hands a shown icon to a panel that restarts by itself; the icon
    // stays shown after the window comes back, so there is nothing to stop.
    void StopKeeping() override {}

    // Made on first use: Qt's icon asks the session bus for a tray host as
    // it is made, which a window that never hides to the tray can do without.
    QSystemTrayIcon& Icon();

  private:
    QIcon picture_;
    std::function<void()> activated_;
    std::unique_ptr<QSystemTrayIcon> icon_;
    bool added_ = false;
};

}  // namespace tolvane
