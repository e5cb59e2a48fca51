#include "platform/win32/win32_folder_watch.h"

namespace tolvane {

Win32FolderWatch::Win32FolderWatch(const std::string& folder, HWND window, UINT message)
    : window_(window), message_(message) {
    change_.Reset(FindFirstChangeNotificationA(
        folder.c_str(), FALSE,
        FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_SIZE));
    if (!change_) return;
    stop_.Reset(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    if (stop_) thread_.Reset(CreateThread(nullptr, 0, Main, this, 0, nullptr));
}

Win32FolderWatch::~Win32FolderWatch() {
    // The thread ends before the handles it waits on are closed.
    if (thread_) {
        SetEvent(stop_.Get());
        WaitForSingleObject(thread_.Get(), INFINITE);
    }
}

DWORD WINAPI Win32FolderWatch::Main(void* self) {
    static_cast<Win32FolderWatch*>(self)->Run();
    return 0;
}

void Win32FolderWatch::Run() {
    const HANDLE waits[] = {stop_.Get(), change_.Get()};
    for (;;) {
        const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
        if (woke != WAIT_OBJECT_0 + 1) return;
        // Armed again before the window looks, so nothing written after its
        // look goes unseen.
        if (!FindNextChangeNotification(change_.Get())) return;
        if (!posted_.exchange(true)) PostMessageA(window_, message_, 0, 0);
    }
}

}  // namespace tolvane
