#pragma once

#include <QSystemTrayIcon>
#include <functional>

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

    QSystemTrayIcon& Icon() { return icon_; }

  private:
    QSystemTrayIcon icon_;
    bool added_ = false;
};

}  // namespace tolvane
