#pragma once

#include <cstdint>

#include "platform/session_services.h"

namespace tolvane {

// The first argument of ExitWindowsEx for each operation. Forced is plain + 4;
// the power-off bit (8) is never asked for.
inline constexpr std::uint32_t kExitLogOff = 0;
inline constexpr std::uint32_t kExitShutDown = 1;
inline constexpr std::uint32_t kExitReboot = 2;
inline constexpr std::uint32_t kExitForce = 4;
inline constexpr std::uint32_t kExitReason = 0xFFFFFFFF;

inline constexpr std::uint32_t kTokenAdjustPrivileges = 0x20;
inline constexpr std::uint32_t kTokenQuery = 0x08;
inline constexpr std::uint32_t kPrivilegeEnabled = 2;
inline constexpr const char* kShutdownPrivilegeName = "SeShutdownPrivilege";

// Ending the session and locking the workstation. None of them reports an
// outcome: the platform ends the session on its own time, or refuses silently.
class PowerOperations {
  public:
    explicit PowerOperations(SessionServices& services) : services_(services) {}

    void EnableShutdownPrivilege();

    void LogOffUser() { Exit(kExitLogOff); }
    void LogOffUserForced() { Exit(kExitLogOff | kExitForce); }
    void ShutDownSystem() { Exit(kExitShutDown); }
    void ShutDownSystemForced() { Exit(kExitShutDown | kExitForce); }
    void RebootSystem() { Exit(kExitReboot); }
    void RebootSystemForced() { Exit(kExitReboot | kExitForce); }

    // No privilege is needed or enabled for a lock.
    void LockWorkStation() { services_.LockWorkStation(); }

  private:
    void Exit(std::uint32_t flags);

    SessionServices& services_;
};

}  // namespace tolvane
