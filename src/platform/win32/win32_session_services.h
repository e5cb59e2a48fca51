#pragma once

#include "platform/session_services.h"

namespace tolvane {

// The real calls: kernel32, advapi32 and user32, single-byte forms.
class Win32SessionServices final : public SessionServices {
  public:
    Handle GetCurrentProcess() override;
    bool OpenProcessToken(Handle process, std::uint32_t desiredAccess, Handle& token) override;
    bool LookupPrivilegeValueA(const std::string& systemName, const std::string& name,
                               Luid& luid) override;
    bool AdjustTokenPrivileges(Handle token, bool disableAllPrivileges,
                               const TokenPrivileges& newState, std::uint32_t bufferLength,
                               TokenPrivileges& previousState,
                               std::uint32_t& returnLength) override;
    bool CloseHandle(Handle handle) override;
    // A refusal is told at once, with the system's words.
    bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override;
    bool LockWorkStation() override;
    void TellFailures(Failed told) override { told_ = std::move(told); }

  private:
    bool Answer(bool done, const char* what);

    Failed told_;
};

}  // namespace tolvane
