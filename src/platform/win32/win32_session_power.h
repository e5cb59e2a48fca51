#pragma once

#include <windows.h>

#include <functional>
#include <string>

#include "platform/system_power.h"
#include "platform/win32/win32_token_calls.h"

namespace tolvane {

// The system functions the window's power requests are made of, with the
// system's own signatures. Tests put recorders in their place: the real
// requests would end the session, or under Wine every process of the prefix.
struct Win32SessionCalls : Win32TokenCalls {
    std::function<HANDLE()> getCurrentProcess;
    std::function<BOOL(UINT, DWORD)> exitWindowsEx;
    std::function<BOOL()> lockWorkStation;
};

// The functions of kernel32, advapi32 and user32, single-byte forms.
Win32SessionCalls RealSessionCalls();

// The reason every exit request gives: none of the system's own.
inline constexpr DWORD kWindowExitReason = 0xFFFFFFFF;

// The window's power requests, for the session it runs in. Reboot, shut down
// and log off first enable the shutdown privilege in the process's token, then
// ask ExitWindowsEx: log off EWX_LOGOFF, shut down EWX_SHUTDOWN (never the
// power-off flag), reboot EWX_REBOOT, forced adds EWX_FORCE. A lock is
// LockWorkStation alone. The system refuses at once or not at all: a refusal
// comes back with the system's words, and nothing is told later.
class Win32SessionPower final : public SystemPower {
  public:
    explicit Win32SessionPower(Win32SessionCalls calls = RealSessionCalls());

    bool Reboot(bool force, std::string& reason) override;
    bool ShutDown(bool force, std::string& reason) override;
    bool LogOff(bool force, std::string& reason) override;
    bool Lock(std::string& reason) override;

  private:
    void EnableShutdownPrivilege();
    bool Exit(UINT flags, bool force, std::string& reason);

    Win32SessionCalls calls_;
};

}  // namespace tolvane
