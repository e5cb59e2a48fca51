#include "platform/win32/win32_tray_icon.h"

#include <algorithm>
#include <utility>

#include "platform/win32/win32_main_window.h"

namespace tolvane {

NOTIFYICONDATAA TrayIconData(HWND window, UINT id, HICON icon, std::string_view tip) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = id;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = Win32MainWindow::kTrayIconMessage;
    data.hIcon = icon;
    // The first layout's tip is 64 bytes, the start of the larger field.
    constexpr std::size_t kTipBytes = 64;
    static_assert(sizeof data.szTip >= kTipBytes);
    std::fill_n(data.szTip, kTipBytes, ' ');
    const std::size_t length = std::min(tip.size(), kTipBytes - 1);
    std::copy_n(tip.data(), length, data.szTip);
    data.szTip[length] = '\0';
    return data;
}

bool Win32TrayIcon::ShellNotify(DWORD action, NOTIFYICONDATAA& data) {
    return Shell_NotifyIconA(action, &data) != 0;
}

Win32TrayIcon::Win32TrayIcon(Win32MainWindow& window, NotifyCall notify)
    : window_(window),
      notify_(std::move(notify)),
      taskbarCreated_(RegisterWindowMessageA("TaskbarCreated")) {
    if (taskbarCreated_ != 0) {
        window_.SetMessageHandler(taskbarCreated_, "the taskbar's restart",
                                  [this] { TaskbarRestarted(); });
    }
}

Win32TrayIcon::~Win32TrayIcon() {
    if (taskbarCreated_ != 0) window_.SetMessageHandler(taskbarCreated_, {}, nullptr);
}

bool Win32TrayIcon::Show(const std::string& tip) {
    tip_ = tip;
    kept_ = true;
    return Add();
}

void Win32TrayIcon::StopKeeping() {
    kept_ = false;
}

bool Win32TrayIcon::Add() {
    NOTIFYICONDATAA data =
        TrayIconData(window_.Handle(), window_.TrayIconId(), window_.SmallIcon(), tip_);
    return notify_(NIM_ADD, data);
}

void Win32TrayIcon::TaskbarRestarted() {
    if (kept_) Add();
}

}  // namespace tolvane
