#include "platform/win32/win32_session_services.h"

#include "platform/win32/win32_error_text.h"

#include <windows.h>

#include <cstddef>

namespace tolvane {

static_assert(sizeof(TOKEN_PRIVILEGES) == sizeof(TokenPrivileges));
static_assert(offsetof(TOKEN_PRIVILEGES, Privileges) == offsetof(TokenPrivileges, luid));
static_assert(sizeof(LUID) == sizeof(Luid));

namespace {
HANDLE ToHandle(Handle h) {
    return reinterpret_cast<HANDLE>(h);
}
}  // namespace

Handle Win32SessionServices::GetCurrentProcess() {
    return reinterpret_cast<Handle>(::GetCurrentProcess());
}

bool Win32SessionServices::OpenProcessToken(Handle process, std::uint32_t desiredAccess,
                                            Handle& token) {
    HANDLE opened = nullptr;
    const bool ok = ::OpenProcessToken(ToHandle(process), desiredAccess, &opened) != 0;
    token = ok ? reinterpret_cast<Handle>(opened) : 0;
    return ok;
}

bool Win32SessionServices::LookupPrivilegeValueA(const std::string& systemName,
                                                 const std::string& name, Luid& luid) {
    LUID found{};
    // An empty system name means the local system, as does a null one.
    const bool ok = ::LookupPrivilegeValueA(systemName.empty() ? nullptr : systemName.c_str(),
                                            name.c_str(), &found) != 0;
    if (ok) {
        luid.lowPart = found.LowPart;
        luid.highPart = found.HighPart;
    }
    return ok;
}

bool Win32SessionServices::AdjustTokenPrivileges(Handle token, bool disableAllPrivileges,
                                                 const TokenPrivileges& newState,
                                                 std::uint32_t bufferLength,
                                                 TokenPrivileges& previousState,
                                                 std::uint32_t& returnLength) {
    TOKEN_PRIVILEGES next{};
    next.PrivilegeCount = newState.privilegeCount;
    next.Privileges[0].Luid.LowPart = newState.luid.lowPart;
    next.Privileges[0].Luid.HighPart = newState.luid.highPart;
    next.Privileges[0].Attributes = newState.attributes;
    TOKEN_PRIVILEGES previous{};
    DWORD length = 0;
    const bool ok = ::AdjustTokenPrivileges(ToHandle(token), disableAllPrivileges ? TRUE : FALSE,
                                            &next, bufferLength, &previous, &length) != 0;
    previousState.privilegeCount = previous.PrivilegeCount;
    previousState.luid = {previous.Privileges[0].Luid.LowPart,
                          previous.Privileges[0].Luid.HighPart};
    previousState.attributes = previous.Privileges[0].Attributes;
    returnLength = length;
    return ok;
}

bool Win32SessionServices::CloseHandle(Handle handle) {
    return ::CloseHandle(ToHandle(handle)) != 0;
}

bool Win32SessionServices::Answer(bool done, const char* what) {
    if (!done && told_) told_(std::string(what) + ": " + ErrorText(::GetLastError()));
    return done;
}

bool Win32SessionServices::ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) {
    return Answer(::ExitWindowsEx(flags, reason) != 0, "ExitWindowsEx failed");
}

bool Win32SessionServices::LockWorkStation() {
    return Answer(::LockWorkStation() != 0, "LockWorkStation failed");
}

}  // namespace tolvane
