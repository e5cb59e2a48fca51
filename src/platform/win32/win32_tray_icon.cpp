#include "platform/win32/win32_tray_icon.h"

#include <algorithm>

#include "platform/win32/win32_main_window.h"

namespace tolvane {

NOTIFYICONDATAA TrayIconData(HWND window, UINT id, HICON icon, std::string_view tip) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window;
    data.uID = id;
    data.uFlags = NIF_MESSAGE | NIF_ICON | NIF_TIP;
    data.uCallbackMessage = WM_MOUSEMOVE;
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

bool Win32TrayIcon::Show(const std::string& tip) {
    NOTIFYICONDATAA data =
        TrayIconData(window_.Handle(), window_.TrayIconId(), window_.SmallIcon(), tip);
    return notify_(NIM_ADD, data);
}

}  // namespace tolvane
