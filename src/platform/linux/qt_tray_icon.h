#pragma once

#include <QSystemTrayIcon>
#include <cstdint>
#include <functional>

#include "platform/tray_icon.h"

namespace tolvane {

// The notification-area icon through QSystemTrayIcon. Its presses reach the
// window as the mouse messages the core decodes: a left press as 0x201, a
// right press as 0x204.
class QtTrayIcon final : public TrayIcon {
  public:
    QtTrayIcon(const QIcon& icon, std::function<void(std::uint32_t)> mouseMessage);

    // Shows the icon even when no tray is there yet: Qt hands it to a panel
    // that starts later. The add counts as done (true) only once, and only
    // while a tray is there to show it; a window hidden without one could not
    // be brought back.
    bool Add(const NotifyIconRecord& record) override;

    QSystemTrayIcon& Icon() { return icon_; }

  private:
    QSystemTrayIcon icon_;
    bool added_ = false;
};

}  // namespace tolvane
