#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <functional>
#include <string>
#include <string_view>

#include "platform/tray_icon.h"

namespace tolvane {

class Win32MainWindow;

// The window's icon record in the platform's first-version single-byte
// layout: the window, the icon's id, the icon; its notifications come to the
// window as its own tray message (Win32MainWindow::kTrayIconMessage) with
// the icon's id in wParam and the mouse message in lParam. The tip fills its
// 64 bytes: the text, a NUL, then blanks.
NOTIFYICONDATAA TrayIconData(HWND window, UINT id, HICON icon, std::string_view tip);

// The main window's icon; the window tells its presses to the form. A
// restarted taskbar (Explorer's) has forgotten every icon and says so to
// every top-level window; the icon, while it is kept, is then added again.
class Win32TrayIcon final : public TrayIcon {
  public:
    // The shell's call, replaceable so that the record can be looked at.
    using NotifyCall = std::function<bool(DWORD action, NOTIFYICONDATAA& data)>;
    static bool ShellNotify(DWORD action, NOTIFYICONDATAA& data);

    // Hears the taskbar's restarts through `window` from now on.
    explicit Win32TrayIcon(Win32MainWindow& window, NotifyCall notify = ShellNotify);
    ~Win32TrayIcon() override;
    Win32TrayIcon(const Win32TrayIcon&) = delete;
    Win32TrayIcon& operator=(const Win32TrayIcon&) = delete;

    bool Show(const std::string& tip) override;
    void StopKeeping() override;

  private:
    bool Add();
    void TaskbarRestarted();

    Win32MainWindow& window_;
    NotifyCall notify_;
    // Registered by name: the number differs from one session to another.
    UINT taskbarCreated_;
    bool kept_ = false;
    std::string tip_;
};

}  // namespace tolvane
