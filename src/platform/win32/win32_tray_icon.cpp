#include "platform/win32/win32_tray_icon.h"

#include <algorithm>

namespace tolvane {

NOTIFYICONDATAA ToNotifyIconData(const NotifyIconRecord& record) {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = reinterpret_cast<HWND>(record.hWnd);
    data.uID = record.uID;
    data.uFlags = record.uFlags;
    data.uCallbackMessage = record.uCallbackMessage;
    data.hIcon = reinterpret_cast<HICON>(record.hIcon);
    static_assert(sizeof record.szTip == 64);
    std::copy(record.szTip.begin(), record.szTip.end(), data.szTip);
    return data;
}

bool Win32TrayIcon::Add(const NotifyIconRecord& record) {
    NOTIFYICONDATAA data = ToNotifyIconData(record);
    return Shell_NotifyIconA(NIM_ADD, &data) != 0;
}

}  // namespace tolvane
