#include "power/power_operations.h"

namespace tolvane {

void PowerOperations::EnableShutdownPrivilege() {
    // Every step runs even when an earlier one failed: a token that did not open
    // stays 0, an identifier that was not found stays 0, and the platform is
    // asked all the same. The exit request that follows is made regardless.
    const Handle process = services_.GetCurrentProcess();
    Handle token = 0;
    services_.OpenProcessToken(process, kTokenAdjustPrivileges | kTokenQuery, token);
    Luid luid;
    services_.LookupPrivilegeValueA("", kShutdownPrivilegeName, luid);

    TokenPrivileges privileges;
    privileges.privilegeCount = 1;
    privileges.luid = luid;
    privileges.attributes = kPrivilegeEnabled;
    TokenPrivileges previous;
    std::uint32_t returnLength = 0;
    services_.AdjustTokenPrivileges(token, false, privileges, sizeof(TokenPrivileges), previous,
                                    returnLength);
    if (token != 0) services_.CloseHandle(token);
}

void PowerOperations::Exit(std::uint32_t flags) {
    EnableShutdownPrivilege();
    services_.ExitWindowsEx(flags, kExitReason);
}

}  // namespace tolvane
