#pragma once

#include <windows.h>

#include <atomic>
#include <string>

#include "platform/win32/win32_handles.h"

namespace tolvane {

// Watches a folder for files made, removed, renamed, written or resized in
// it, and posts `message` to `window` when it sees one. A thread of its own
// waits on the change notification, so the window hears of it whichever
// message loop is running (a message box's, a pause's). Changes that come
// while a message is still waiting to be handled make no second one.
class Win32FolderWatch {
  public:
    Win32FolderWatch(const std::string& folder, HWND window, UINT message);
    // Stops the thread and waits for it.
    ~Win32FolderWatch();
    Win32FolderWatch(const Win32FolderWatch&) = delete;
    Win32FolderWatch& operator=(const Win32FolderWatch&) = delete;

    // Whether the folder is watched: false when the system would not watch it
    // (a missing folder, say); the window's timer still looks now and then.
    bool Watching() const { return static_cast<bool>(thread_); }
    // The window calls this as it handles the message, before it looks at the
    // folder: a change after this point posts the message again.
    void Handled() { posted_.store(false); }

  private:
    static DWORD WINAPI Main(void* self);
    void Run();

    HWND window_;
    UINT message_;
    UniqueChangeNotification change_;
    UniqueHandle stop_;
    UniqueHandle thread_;
    std::atomic<bool> posted_{false};
};

}  // namespace tolvane
