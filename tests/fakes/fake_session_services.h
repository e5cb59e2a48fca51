#pragma once

#include <functional>
#include <string>
#include <vector>

#include "platform/session_services.h"

namespace tolvane::testing {

// Records every call with its arguments, in order.
class FakeSessionServices final : public SessionServices {
  public:
    struct Call {
        std::string name;
        std::vector<std::uint64_t> args;
        std::string text;  // the privilege name, for the lookup
        TokenPrivileges privileges;
    };
    std::vector<Call> calls;
    bool privilegeStepsFail = false;
    Handle process = 0xFFFFFFFFFFFFFFFFull;
    Handle token = 0x1234;
    Luid luid{19, 0};
    std::function<void()> onExit;  // runs as the exit request is made
    Failed told;                   // where failures go, as the window set it
    bool refuse = false;           // exit and lock requests fail at once

    Handle GetCurrentProcess() override {
        calls.push_back({"GetCurrentProcess", {}, {}, {}});
        return process;
    }
    bool OpenProcessToken(Handle p, std::uint32_t access, Handle& out) override {
        calls.push_back({"OpenProcessToken", {p, access}, {}, {}});
        if (privilegeStepsFail) return false;
        out = token;
        return true;
    }
    bool LookupPrivilegeValueA(const std::string& system, const std::string& name,
                               Luid& out) override {
        calls.push_back({"LookupPrivilegeValueA", {}, system + "|" + name, {}});
        if (privilegeStepsFail) return false;
        out = luid;
        return true;
    }
    bool AdjustTokenPrivileges(Handle t, bool disableAll, const TokenPrivileges& state,
                               std::uint32_t length, TokenPrivileges&,
                               std::uint32_t& returned) override {
        calls.push_back({"AdjustTokenPrivileges", {t, disableAll ? 1u : 0u, length}, {}, state});
        returned = 16;
        return !privilegeStepsFail;
    }
    bool CloseHandle(Handle h) override {
        calls.push_back({"CloseHandle", {h}, {}, {}});
        return true;
    }
    bool ExitWindowsEx(std::uint32_t flags, std::uint32_t reason) override {
        calls.push_back({"ExitWindowsEx", {flags, reason}, {}, {}});
        if (onExit) onExit();
        return Answer("The reboot was refused: an application is busy.");
    }
    bool LockWorkStation() override {
        calls.push_back({"LockWorkStation", {}, {}, {}});
        return Answer("Nothing carried out the lock.");
    }
    void TellFailures(Failed failed) override { told = std::move(failed); }

    bool Answer(const std::string& why) {
        if (refuse && told) told(why);
        return !refuse;
    }

    std::vector<std::string> Names() const {
        std::vector<std::string> names;
        for (const auto& c : calls) names.push_back(c.name);
        return names;
    }
    // The flags of every exit request, in order.
    std::vector<std::uint64_t> ExitFlags() const {
        std::vector<std::uint64_t> flags;
        for (const auto& c : calls) {
            if (c.name == "ExitWindowsEx") flags.push_back(c.args[0]);
        }
        return flags;
    }
};

}  // namespace tolvane::testing
