#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <functional>
#include <string_view>

#include "platform/tray_icon.h"

namespace tolvane {

class Win32MainWindow;

// The window's icon record in the platform's first-version single-byte
// layout: the window, the icon's id, the icon; its notifications come to the
// window as WM_MOUSEMOVE with the icon's id in wParam and the mouse message
// in lParam. The tip fills its 64 bytes: the text, a NUL, then blanks.
NOTIFYICONDATAA TrayIconData(HWND window, UINT id, HICON icon, std::string_view tip);

// The main window's icon; the window tells its presses to the form.
class Win32TrayIcon final : public TrayIcon {
  public:
    // The shell's call, replaceable so that the record can be looked at.
    using NotifyCall = std::function<bool(DWORD action, NOTIFYICONDATAA& data)>;
    static bool ShellNotify(DWORD action, NOTIFYICONDATAA& data);

    explicit Win32TrayIcon(const Win32MainWindow& window, NotifyCall notify = ShellNotify)
        : window_(window), notify_(std::move(notify)) {}

    bool Show(const std::string& tip) override;

  private:
    const Win32MainWindow& window_;
    NotifyCall notify_;
};

}  // namespace tolvane
