#pragma once

#include <cstdint>
#include <functional>
#include <string>

namespace tolvane {

using Handle = std::uintptr_t;

// The platform's locally unique identifier: low 32 bits, then high 32 bits.
struct Luid {
    std::uint32_t lowPart = 0;
    std::int32_t highPart = 0;
};

// A token-privileges record with exactly one entry, laid out as the platform's.
struct TokenPrivileges {
    std::uint32_t privilegeCount = 0;
    Luid luid;
    std::uint32_t attributes = 0;
};
static_assert(sizeof(TokenPrivileges) == 16, "the platform expects the 16-byte record");

// The session, token and lock services the power operations need. On Windows
// each call is the function of the same name; elsewhere the adapter maps the
// meaning onto the platform's own services.
class SessionServices {
  public:
    virtual ~SessionServices() = default;

    virtual Handle GetCurrentProcess() = 0;
    virtual bool OpenProcessToken(Handle process, std::uint32_t desiredAccess, Handle& token) = 0;
    virtual bool LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                                       Luid& luid) = 0;
    virtual bool AdjustTokenPrivileges(Handle token, bool disableAllPrivileges,
                                       const TokenPrivileges& newState, std::uint32_t bufferLength,
                                       TokenPrivileges& previousState,
                                       std::uint32_t& returnLength) = 0;
    virtual bool CloseHandle(Handle handle) = 0;

    virtual bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) = 0;
    virtual bool LockWorkStation() = 0;

    // Where the failures of exit and lock requests are told, in words that
    // say what failed and why: at once where the system answers at once,
    // later (on the window's thread) where its answer comes later.
    using Failed = std::function<void(const std::string& what)>;
    virtual void TellFailures(Failed told) = 0;
};

}  // namespace tolvane
