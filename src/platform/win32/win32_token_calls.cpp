#include "platform/win32/win32_token_calls.h"

namespace tolvane {

Win32TokenCalls RealTokenCalls() {
    Win32TokenCalls calls;
    calls.openProcessToken = ::OpenProcessToken;
    calls.lookupPrivilegeValue = ::LookupPrivilegeValueA;
    calls.adjustTokenPrivileges = ::AdjustTokenPrivileges;
    calls.closeHandle = ::CloseHandle;
    return calls;
}

TOKEN_PRIVILEGES EnabledPrivilege(LUID luid) {
    TOKEN_PRIVILEGES wanted{};
    wanted.PrivilegeCount = 1;
    wanted.Privileges[0].Luid = luid;
    wanted.Privileges[0].Attributes = SE_PRIVILEGE_ENABLED;
    return wanted;
}

}  // namespace tolvane
