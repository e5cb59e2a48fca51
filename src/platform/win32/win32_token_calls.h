#pragma once

#include <windows.h>

#include <functional>

namespace tolvane {

// The process-token functions both power adapters enable the shutdown
// privilege with, with the system's own signatures. Each adapter's table of
// system functions holds these; tests put recorders in their place.
struct Win32TokenCalls {
    std::function<BOOL(HANDLE, DWORD, PHANDLE)> openProcessToken;
    std::function<BOOL(LPCSTR, LPCSTR, PLUID)> lookupPrivilegeValue;
    std::function<BOOL(HANDLE, BOOL, PTOKEN_PRIVILEGES, DWORD, PTOKEN_PRIVILEGES, PDWORD)>
        adjustTokenPrivileges;
    std::function<BOOL(HANDLE)> closeHandle;
};

// The functions of advapi32 and kernel32, single-byte forms.
Win32TokenCalls RealTokenCalls();

// The request that enables the one privilege `luid`, leaving the others as
// they are.
TOKEN_PRIVILEGES EnabledPrivilege(LUID luid);

}  // namespace tolvane
