#include "platform/win32/win32_system_power.h"

#include <sddl.h>

#include <string>

#include "platform/win32/win32_error_text.h"
#include "service/service_arguments.h"

namespace tolvane {

Win32PowerCalls RealPowerCalls() {
    Win32PowerCalls calls;
    static_cast<Win32TokenCalls&>(calls) = RealTokenCalls();
    calls.initiateShutdown = ::InitiateShutdownA;
    calls.enumerateSessions = ::WTSEnumerateSessionsA;
    calls.freeMemory = ::WTSFreeMemory;
    calls.logoffSession = ::WTSLogoffSession;
    calls.disconnectSession = ::WTSDisconnectSession;
    calls.queryUserToken = ::WTSQueryUserToken;
    calls.getTokenInformation = ::GetTokenInformation;
    calls.convertSidToStringSid = ::ConvertSidToStringSidA;
    calls.localFree = ::LocalFree;
    return calls;
}

Win32SystemPower::Win32SystemPower(std::string userSid, Win32PowerCalls calls)
    : user_(CanonicalSid(userSid).value_or("")), calls_(std::move(calls)) {}

Win32SystemPower::Win32SystemPower(EveryUser, Win32PowerCalls calls)
    : everyUser_(true), calls_(std::move(calls)) {}

bool Win32SystemPower::EnableShutdownPrivilege(std::string& reason) {
    HANDLE token = nullptr;
    if (!calls_.openProcessToken(GetCurrentProcess(), TOKEN_ADJUST_PRIVILEGES | TOKEN_QUERY,
                                 &token)) {
        const DWORD error = GetLastError();
        reason = "The process token could not be opened: " + ErrorText(error);
        return false;
    }
    LUID luid{};
    bool ok = calls_.lookupPrivilegeValue(nullptr, SE_SHUTDOWN_NAME, &luid);
    DWORD error = ok ? ERROR_SUCCESS : GetLastError();
    if (ok) {
        TOKEN_PRIVILEGES wanted = EnabledPrivilege(luid);
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

std::optional<std::string> Win32SystemPower::SessionUser(DWORD session) {
    HANDLE token = nullptr;
    if (!calls_.queryUserToken(session, &token)) return std::nullopt;
    alignas(TOKEN_USER) BYTE buffer[sizeof(TOKEN_USER) + SECURITY_MAX_SID_SIZE];
    DWORD length = 0;
    const bool read =
        calls_.getTokenInformation(token, TokenUser, buffer, sizeof buffer, &length) != 0;
    calls_.closeHandle(token);
    char* text = nullptr;
    if (!read ||
        !calls_.convertSidToStringSid(reinterpret_cast<TOKEN_USER*>(buffer)->User.Sid, &text)) {
        return std::nullopt;
    }
    auto sid = CanonicalSid(text);
    calls_.localFree(text);
    return sid;
}

bool Win32SystemPower::ForEachUserSession(const std::function<BOOL(HANDLE, DWORD, BOOL)>& act,
                                          bool disconnectedToo, std::string& reason) {
    PWTS_SESSION_INFOA sessions = nullptr;
    DWORD count = 0;
    if (!calls_.enumerateSessions(WTS_CURRENT_SERVER_HANDLE, 0, 1, &sessions, &count)) {
        const DWORD error = GetLastError();
        reason = "The sessions could not be listed: " + ErrorText(error);
        return false;
    }
    // Only active sessions are someone working, at the console or remotely;
    // the others (session 0, listeners, disconnected ones) are left alone,
    // except that the machine's log off ends the disconnected ones too.
    int ours = 0;
    std::string failures;
    for (DWORD i = 0; i < count; ++i) {
        const bool disconnected = sessions[i].State == WTSDisconnected;
        if (sessions[i].State != WTSActive && !(disconnectedToo && disconnected)) continue;
        // A session nobody has logged on to has no user's token.
        const auto user = SessionUser(sessions[i].SessionId);
        if (!user) continue;
        if (!everyUser_ && (user_.empty() || *user != user_)) continue;
        ++ours;
        if (!act(WTS_CURRENT_SERVER_HANDLE, sessions[i].SessionId, FALSE)) {
            const DWORD error = GetLastError();
            if (!failures.empty()) failures += "; ";
            failures +=
                "session " + std::to_string(sessions[i].SessionId) + ": " + ErrorText(error);
        }
    }
    calls_.freeMemory(sessions);
    if (ours == 0) {
        reason = everyUser_ ? std::string("Nobody is logged on.")
                            : "No session of user " +
                                  (user_.empty() ? std::string("(none)") : user_) + " is active.";
        return false;
    }
    if (!failures.empty()) {
        reason = failures;
        return false;
    }
    return true;
}

bool Win32SystemPower::LogOff(bool, std::string& reason) {
    return ForEachUserSession(calls_.logoffSession, everyUser_, reason);
}

bool Win32SystemPower::Lock(std::string& reason) {
    return ForEachUserSession(calls_.disconnectSession, false, reason);
}

}  // namespace tolvane
