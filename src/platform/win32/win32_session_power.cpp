#include "platform/win32/win32_session_power.h"

#include <utility>

#include "platform/win32/win32_error_text.h"

namespace tolvane {

Win32SessionCalls RealSessionCalls() {
    Win32SessionCalls calls;
    static_cast<Win32TokenCalls&>(calls) = RealTokenCalls();
    calls.getCurrentProcess = ::GetCurrentProcess;
    calls.exitWindowsEx = ::ExitWindowsEx;
    calls.lockWorkStation = ::LockWorkStation;
    return calls;
}

Win32SessionPower::Win32SessionPower(Win32SessionCalls calls) : calls_(std::move(calls)) {}

void Win32SessionPower::EnableShutdownPrivilege() {
    // Every step runs even when an earlier one failed: a token that did not
    // open stays null, an identifier that was not found stays 0, and the
    // system is asked all the same. The exit request that follows is made
    // regardless, so the system itself says whether the privilege was needed.
    // The token is closed through the table, so it has no owner object here.
    const HANDLE process = calls_.getCurrentProcess();
    HANDLE token = nullptr;
    if (!calls_.openProcessToken(process, TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY, &token)) {
        token = nullptr;
    }
    LUID luid{};
    LUID found{};
    if (calls_.lookupPrivilegeValue(nullptr, SE_SHUTDOWN_NAME, &found)) luid = found;

    TOKEN_PRIVILEGES wanted = EnabledPrivilege(luid);
    TOKEN_PRIVILEGES previous{};
    DWORD previousLength = 0;
    calls_.adjustTokenPrivileges(token, FALSE, &wanted, sizeof wanted, &previous, &previousLength);
    if (token) calls_.closeHandle(token);
}

bool Win32SessionPower::Exit(UINT flags, bool force, std::string& reason) {
    EnableShutdownPrivilege();
    if (force) flags |= EWX_FORCE;
    if (calls_.exitWindowsEx(flags, kWindowExitReason)) return true;
    const DWORD error = GetLastError();
    reason = "ExitWindowsEx failed: " + ErrorText(error);
    return false;
}

bool Win32SessionPower::Reboot(bool force, std::string& reason) {
    return Exit(EWX_REBOOT, force, reason);
}

bool Win32SessionPower::ShutDown(bool force, std::string& reason) {
    return Exit(EWX_SHUTDOWN, force, reason);
}

bool Win32SessionPower::LogOff(bool force, std::string& reason) {
    return Exit(EWX_LOGOFF, force, reason);
}

bool Win32SessionPower::Lock(std::string& reason) {
    if (calls_.lockWorkStation()) return true;
    const DWORD error = GetLastError();
    reason = "LockWorkStation failed: " + ErrorText(error);
    return false;
}

}  // namespace tolvane
