#pragma once

#include <windows.h>
// After windows.h, which it needs.
#include <shellapi.h>

#include <functional>

#include "platform/desktop_notices.h"
#include "platform/msg_box.h"

namespace tolvane {

class Win32MainWindow;

// Notices as balloons from the notification area. The window's own icon
// carries the balloon when it is up; otherwise an icon of the notices' own
// (another id on the same window) is added for the balloon and taken away
// when the balloon ends, so the window's hiding to the tray never finds its
// icon taken. A click on the balloon asks, in a message box, whether to take
// the notice's one choice.
class Win32DesktopNotices final : public DesktopNotices {
  public:
    // The shell's call, replaceable so that the records can be looked at.
    using NotifyCall = std::function<bool(DWORD action, NOTIFYICONDATAA& data)>;
    static bool ShellNotify(DWORD action, NOTIFYICONDATAA& data);

    // Takes the balloon events of `window`'s icons from now on; `prompt`
    // shows the question (a box owned by the window).
    Win32DesktopNotices(Win32MainWindow& window, MsgBox& prompt, NotifyCall notify = ShellNotify);
    ~Win32DesktopNotices() override;
    Win32DesktopNotices(const Win32DesktopNotices&) = delete;
    Win32DesktopNotices& operator=(const Win32DesktopNotices&) = delete;

    bool Show(const DesktopNotice& notice, std::function<void()> skip) override;

    // A balloon's event (NIN_BALLOON*) from the icon with `iconId`.
    void BalloonEvent(UINT iconId, UINT event);

  private:
    NOTIFYICONDATAA Balloon(UINT iconId, const DesktopNotice& notice) const;
    void RemoveNoticeIcon();

    Win32MainWindow& window_;
    MsgBox& prompt_;
    NotifyCall notify_;
    bool noticeIconUp_ = false;
    bool asking_ = false;
    DesktopNotice notice_;
    std::function<void()> skip_;
};

}  // namespace tolvane
