#pragma once

#include <windows.h>
// After windows.h, which they need.
#include <reason.h>
#include <wtsapi32.h>

#include <functional>
#include <optional>
#include <string>

#include "platform/system_power.h"
#include "platform/win32/win32_token_calls.h"

namespace tolvane {

// The system functions the service's power requests are made of, with the
// system's own signatures. Tests put recorders in their place: the real
// requests would end the machine, or under Wine every process of the prefix.
// closeHandle, one of the token functions, also closes the sessions' user tokens.
struct Win32PowerCalls : Win32TokenCalls {
    // Returns the error code itself (0 when the shutdown was started).
    std::function<DWORD(LPSTR, LPSTR, DWORD, DWORD, DWORD)> initiateShutdown;
    std::function<BOOL(HANDLE, DWORD, DWORD, PWTS_SESSION_INFOA*, DWORD*)> enumerateSessions;
    std::function<void(PVOID)> freeMemory;
    std::function<BOOL(HANDLE, DWORD, BOOL)> logoffSession;
    std::function<BOOL(HANDLE, DWORD, BOOL)> disconnectSession;
    // Whose a session is: its user's token, that token's user, as text.
    std::function<BOOL(ULONG, PHANDLE)> queryUserToken;
    std::function<BOOL(HANDLE, TOKEN_INFORMATION_CLASS, LPVOID, DWORD, PDWORD)> getTokenInformation;
    std::function<BOOL(PSID, LPSTR*)> convertSidToStringSid;
    std::function<HLOCAL(HLOCAL)> localFree;
};

// The functions of kernel32, advapi32 and wtsapi32.
Win32PowerCalls RealPowerCalls();

// Every request is a planned one, so the system's shutdown log does not count
// it as an unexpected stop.
inline constexpr DWORD kServiceShutdownReason =
    SHTDN_REASON_MAJOR_OTHER | SHTDN_REASON_MINOR_OTHER | SHTDN_REASON_FLAG_PLANNED;

// The power requests a service (LocalSystem, session 0) can make for its one
// user. It has no desktop of its own: it reboots and shuts down through
// InitiateShutdown, and acts on that user's sessions only, each known by the
// user of its token: log off ends them, lock disconnects them, which brings up
// the sign-in screen. Other users' sessions are never touched, nor a session
// whose user cannot be told.
//
// For the machine's schedule it acts on every user's sessions instead: log
// off ends each active or disconnected session that has a user, lock
// disconnects each active one.
class Win32SystemPower final : public SystemPower {
  public:
    // `userSid`: the user's security identifier, as Windows writes it.
    explicit Win32SystemPower(std::string userSid, Win32PowerCalls calls = RealPowerCalls());
    struct EveryUser {};
    explicit Win32SystemPower(EveryUser, Win32PowerCalls calls = RealPowerCalls());

    // Reboot: SHUTDOWN_RESTART. Shut down: neither the power-off nor the
    // restart flag, as the window never asks for power-off. Forced adds
    // SHUTDOWN_FORCE_OTHERS and SHUTDOWN_FORCE_SELF.
    bool Reboot(bool force, std::string& reason) override;
    bool ShutDown(bool force, std::string& reason) override;
    // A session logged off by the service cannot refuse, so forced and plain
    // are the same request.
    bool LogOff(bool force, std::string& reason) override;
    bool Lock(std::string& reason) override;

  private:
    bool EnableShutdownPrivilege(std::string& reason);
    bool Shutdown(DWORD flags, bool force, std::string& reason);
    // The SID of the user signed in to `session`; nothing when it cannot be told.
    std::optional<std::string> SessionUser(DWORD session);
    // `act` (log off or disconnect) on each active session of the user (or,
    // for the machine, of every user; with `disconnectedToo`, on their
    // disconnected sessions as well).
    bool ForEachUserSession(const std::function<BOOL(HANDLE, DWORD, BOOL)>& act,
                            bool disconnectedToo, std::string& reason);

    std::string user_;
    bool everyUser_ = false;
    Win32PowerCalls calls_;
};

}  // namespace tolvane
