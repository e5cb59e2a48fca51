#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include "platform/tray_icon.h"

namespace tolvane {

// The program's record in the platform's first-version single-byte layout,
// whose size the platform defines for each architecture.
NOTIFYICONDATAA ToNotifyIconData(const NotifyIconRecord& record);

class Win32TrayIcon final : public TrayIcon {
  public:
    bool Add(const NotifyIconRecord& record) override;
};

}  // namespace tolvane
