#include "platform/win32/win32_desktop_notices.h"

#include <algorithm>
#include <string>
#include <utility>

#include "platform/win32/win32_main_window.h"

namespace tolvane {

namespace {

// Copies as much of `text` as the field holds, always ending it.
template <std::size_t N>
void CopyField(char (&field)[N], const std::string& text) {
    const std::size_t length = std::min(text.size(), N - 1);
    std::copy_n(text.data(), length, field);
    field[length] = '\0';
}

}  // namespace

bool Win32DesktopNotices::ShellNotify(DWORD action, NOTIFYICONDATAA& data) {
    return Shell_NotifyIconA(action, &data) != 0;
}

Win32DesktopNotices::Win32DesktopNotices(Win32MainWindow& window, MsgBox& prompt,
                                         NotifyCall notify)
    : window_(window), prompt_(prompt), notify_(std::move(notify)) {
    window_.SetBalloonEvents([this](UINT iconId, UINT event) { BalloonEvent(iconId, event); });
}

Win32DesktopNotices::~Win32DesktopNotices() {
    window_.SetBalloonEvents(nullptr);
    if (noticeIconUp_) RemoveNoticeIcon();
}

NOTIFYICONDATAA Win32DesktopNotices::Balloon(UINT iconId, const DesktopNotice& notice) const {
    NOTIFYICONDATAA data{};
    // The balloon's fields came with the second layout; the icon's callback
    // keeps the first version's form (the icon's id in wParam, the event in
    // lParam), as the window's icon has it.
    data.cbSize = NOTIFYICONDATAA_V2_SIZE;
    data.hWnd = window_.Handle();
    data.uID = iconId;
    data.uFlags = NIF_INFO;
    CopyField(data.szInfoTitle, notice.title);
    CopyField(data.szInfo, notice.text);
    data.dwInfoFlags = NIIF_INFO;
    return data;
}

bool Win32DesktopNotices::Show(const DesktopNotice& notice, std::function<void()> skip) {
    // An older notice's choice is gone once a newer one comes.
    skip_ = nullptr;
    NOTIFYICONDATAA onWindowIcon = Balloon(window_.TrayIconId(), notice);
    bool shown = notify_(NIM_MODIFY, onWindowIcon);
    if (shown) {
        // The window's icon came up since an earlier notice needed its own.
        if (noticeIconUp_) RemoveNoticeIcon();
    } else {
        NOTIFYICONDATAA own = Balloon(window_.NoticeIconId(), notice);
        own.uFlags |= NIF_MESSAGE | NIF_ICON | NIF_TIP;
        own.uCallbackMessage = Win32MainWindow::kNoticeIconMessage;
        own.hIcon = window_.SmallIcon();
        CopyField(own.szTip, notice.title);
        // A restarted taskbar has forgotten an icon added before it.
        shown = (noticeIconUp_ && notify_(NIM_MODIFY, own)) || notify_(NIM_ADD, own);
        noticeIconUp_ = shown;
    }
    if (!shown) return false;
    notice_ = notice;
    skip_ = std::move(skip);
    return true;
}

void Win32DesktopNotices::RemoveNoticeIcon() {
    NOTIFYICONDATAA data{};
    data.cbSize = NOTIFYICONDATAA_V1_SIZE;
    data.hWnd = window_.Handle();
    data.uID = window_.NoticeIconId();
    notify_(NIM_DELETE, data);
    noticeIconUp_ = false;
}

void Win32DesktopNotices::BalloonEvent(UINT iconId, UINT event) {
    const bool ends =
        event == NIN_BALLOONHIDE || event == NIN_BALLOONTIMEOUT || event == NIN_BALLOONUSERCLICK;
    if (ends && noticeIconUp_ && iconId == window_.NoticeIconId()) RemoveNoticeIcon();
    // One question at a time: the box's own loop still brings the icons'
    // events.
    if (event != NIN_BALLOONUSERCLICK || !skip_ || asking_) return;
    const std::function<void()> skip = std::exchange(skip_, nullptr);
    const DesktopNotice notice = notice_;
    asking_ = true;
    MsgBox::Answer answer = MsgBox::Answer::No;
    try {
        answer = prompt_.Show(notice.question, notice.title, MsgBox::Buttons::YesNo);
    } catch (...) {
        asking_ = false;
        throw;
    }
    asking_ = false;
    if (answer == MsgBox::Answer::Yes) skip();
}

}  // namespace tolvane
