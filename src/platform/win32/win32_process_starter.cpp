#include "platform/win32/win32_process_starter.h"

#include <windows.h>

#include <string>

#include "platform/win32/win32_error_text.h"

namespace tolvane {

bool Win32ProcessStarter::Start(const std::string& commandLine, int windowStyle,
                                std::string& reason) {
    STARTUPINFOA startup{};
    startup.cb = sizeof startup;
    startup.dwFlags = STARTF_USESHOWWINDOW;
    startup.wShowWindow = static_cast<WORD>(windowStyle);
    PROCESS_INFORMATION started{};
    // CreateProcessA may write into the command line, so it gets its own copy.
    std::string writable = commandLine;
    if (!CreateProcessA(nullptr, writable.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                        &startup, &started)) {
        reason = ErrorText(GetLastError());
        return false;
    }
    // Nothing waits for the program; its handles are not needed.
    CloseHandle(started.hThread);
    CloseHandle(started.hProcess);
    return true;
}

}  // namespace tolvane
