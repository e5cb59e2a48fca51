#include "platform/win32/win32_system_power.h"

#include <string>

#include "platform/win32/win32_error_text.h"

namespace tolvane {

Win32PowerCalls RealPowerCalls() {
    Win32PowerCalls calls;
    calls.openProcessToken = ::OpenProcessToken;
    calls.lookupPrivilegeValue = ::LookupPrivilegeValueA;
    calls.adjustTokenPrivileges = ::AdjustTokenPrivileges;
    calls.closeHandle = ::CloseHandle;
    calls.initiateShutdown = ::InitiateShutdownA;
    calls.enumerateSessions = ::WTSEnumerateSessionsA;
    calls.freeMemory = ::WTSFreeMemory;
    calls.logoffSession = ::WTSLogoffSession;
    calls.activeConsoleSessionId = ::WTSGetActiveConsoleSessionId;
    calls.disconnectSession = ::WTSDisconnectSession;
    return calls;
}

Win32SystemPower::Win32SystemPower(Win32PowerCalls calls) : calls_(std::move(calls)) {}

bool Win32SystemPower::EnableShutdownPrivilege(std::string& reason) {
    HANDLE token = nullptr;
    if (!calls_.openProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                                 &token)) {
        const DWORD error = GetLastError();
        reason = "The process token could not be opened: " + ErrorText(error);
        return false;
    }
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    bool ok = calls_.lookupPrivilegeValue(nullptr, SE_SHUTDOWN_NAME, &wanted.Privileges[0].Luid);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (ok) {
        // It succeeds even when the token does not hold the privilege; only
        // the last error then tells.
        SetLastError(ERROR_SUCCESS);
        ok = calls_.adjustTokenPrivileges(token, FALSE, &wanted, 0, nullptr, nullptr);
        error = GetLastError();
        ok = ok && error == ERROR_SUCCESS;
    }
    calls_.closeHandle(token);
    if (!ok) reason = "The shutdown privilege could not be enabled: " + ErrorText(error);
    return ok;
}

bool Win32SystemPower::Shutdown(DWORD flags, bool force, std::string& reason) {
    if (!EnableShutdownPrivilege(reason)) return false;
    if (force) flags |= SHUTDOWN_FORCE_OTHERS | SHUTDOWN_FORCE_SELF;
    const DWORD error = calls_.initiateShutdown(nullptr, nullptr, 0, flags, kServiceShutdownReason);
    if (error != ERROR_SUCCESS) {
        reason = ErrorText(error);
        return false;
    }
    return true;
}

bool Win32SystemPower::Reboot(bool force, std::string& reason) {
    return Shutdown(SHUTDOWN_RESTART, force, reason);
}

bool Win32SystemPower::ShutDown(bool force, std::string& reason) {
    return Shutdown(0, force, reason);
}

bool Win32SystemPower::LogOff(bool, std::string& reason) {
    PWTS_SESSION_INFOA sessions = nullptr;
    DWORD count = 0;
    if (!calls_.enumerateSessions(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count)) {
        const DWORD error = GetLastError();
        reason = "The sessions could not be listed: " + ErrorText(error);
        return false;
    }
    // Every active session is a user working at the console or remotely; the
    // others (session 0, listeners, disconnected ones) are left alone.
    int active = 0;
    std::string failures;
    for (DWORD i = 0; i < count; ++i) {
        if (sessions[i].State != WTSActive) continue;
        ++active;
        if (!calls_.logoffSession(WTS_CURRENT_SERVER_HANDLE, sessions[i].SessionId, FALSE)) {
            const DWORD error = GetLastError();
            if (!failures.empty()) failures += "; ";
            failures +=
                "session " + std::to_string(sessions[i].SessionId) + ": " + ErrorText(error);
        }
    }
    calls_.freeMemory(sessions);
    if (active == 0) {
        reason = "No user session is active.";
        return false;
    }
    if (!failures.empty()) {
        reason = failures;
        return false;
    }
    return true;
}

bool Win32SystemPower::Lock(std::string& reason) {
    const DWORD session = calls_.activeConsoleSessionId();
    if (session == 0xFFFFFFFF) {
        reason = "No session is attached to the console.";
        return false;
    }
    if (!calls_.disconnectSession(WTS_CURRENT_SERVER_HANDLE, session, FALSE)) {
        const DWORD error = GetLastError();
        reason = ErrorText(error);
        return false;
    }
    return true;
}

}  // namespace tolvane
