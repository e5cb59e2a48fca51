// The window's power requests on Windows with the system calls recorded
// (never made): the privilege steps, in order and with their arguments, then
// the exit or lock request, and what each failing step leaves to the next.
#include "platform/win32/win32_session_power.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "platform/win32/win32_error_text.h"
#include "win32_test_support.h"

namespace tolvane::testing {
namespace {

using Texts = std::vector<std::string>;

const HANDLE kProcess = reinterpret_cast<HANDLE>(0x5050);

// A stand-in for every system call of Win32SessionPower: each call is written
// down with its arguments, and answers as the test arranged.
struct RecordedCalls : RecordedTokenCalls {
    DWORD exitError = 0;
    DWORD lockError = 0;

    RecordedCalls() { process = kProcess; }

    static BOOL Answer(DWORD error) {
        SetLastError(error);
        return error == 0 ? TRUE : FALSE;
    }

    Win32SessionCalls Table() {
        Win32SessionCalls t;
        Record(t);
        t.getCurrentProcess = [this] {
            calls.push_back("GetCurrentProcess()");
            return process;
        };
        t.exitWindowsEx = [this](UINT flags, DWORD reason) {
            calls.push_back("ExitWindowsEx(" + Hex(flags) + ", " + Hex(reason) + ")");
            return Answer(exitError);
        };
        t.lockWorkStation = [this] {
            calls.push_back("LockWorkStation()");
            return Answer(lockError);
        };
        return t;
    }
};

const std::string kOpen = "OpenProcessToken(this process, 0x28)";
const std::string kLookUp = "LookupPrivilegeValue(local, SeShutdownPrivilege)";
const std::string kAdjust =
    "AdjustTokenPrivileges(token, keep others, 1 x {19:0, 0x2}, 16, previous)";

Texts PrivilegeStepsThenExit(const std::string& flags) {
    return {"GetCurrentProcess()",
            kOpen,
            kLookUp,
            kAdjust,
            "CloseHandle(token)",
            "ExitWindowsEx(" + flags + ", 0xFFFFFFFF)"};
}

using Request = std::function<bool(SystemPower&, std::string&)>;
const Request kReboot = [](SystemPower& p, std::string& r) { return p.Reboot(false, r); };
const Request kForcedReboot = [](SystemPower& p, std::string& r) { return p.Reboot(true, r); };
const Request kLock = [](SystemPower& p, std::string& r) { return p.Lock(r); };

TEST(Win32SessionPower, EachRequestMakesExactlyTheseCalls) {
    struct Case {
        const char* name;
        Request request;
        Texts calls;
    };
    // Log off 0, shut down 1, reboot 2, forced + 4; never the power-off bit 8.
    const Case cases[] = {
        {"log off", [](SystemPower& p, std::string& r) { return p.LogOff(false, r); },
         PrivilegeStepsThenExit("0x0")},
        {"shut down", [](SystemPower& p, std::string& r) { return p.ShutDown(false, r); },
         PrivilegeStepsThenExit("0x1")},
        {"reboot", kReboot, PrivilegeStepsThenExit("0x2")},
        {"forced log off", [](SystemPower& p, std::string& r) { return p.LogOff(true, r); },
         PrivilegeStepsThenExit("0x4")},
        {"forced shut down", [](SystemPower& p, std::string& r) { return p.ShutDown(true, r); },
         PrivilegeStepsThenExit("0x5")},
        {"forced reboot", kForcedReboot, PrivilegeStepsThenExit("0x6")},
        // No privilege is needed or enabled for a lock.
        {"lock", kLock, {"LockWorkStation()"}},
    };
    for (const Case& c : cases) {
        RecordedCalls recorded;
        Win32SessionPower power(recorded.Table());
        std::string reason;
        EXPECT_TRUE(c.request(power, reason)) << c.name;
        EXPECT_EQ(reason, "") << c.name;
        EXPECT_EQ(recorded.calls, c.calls) << c.name;
    }
}

TEST(Win32SessionPower, AFailingPrivilegeStepLeavesTheRestToTheSystem) {
    struct Case {
        const char* name;
        std::function<void(RecordedCalls&)> arrange;
        Texts calls;
    };
    const Case cases[] = {
        // No token to close; the adjustment is still asked, with no token.
        {"token not opened",
         [](RecordedCalls& r) { r.openTokenError = ERROR_ACCESS_DENIED; },
         {"GetCurrentProcess()", kOpen, kLookUp,
          "AdjustTokenPrivileges(no token, keep others, 1 x {19:0, 0x2}, 16, previous)",
          "ExitWindowsEx(0x6, 0xFFFFFFFF)"}},
        // Asked with identifier 0, whatever the failed look-up left behind.
        {"privilege not found",
         [](RecordedCalls& r) { r.lookupError = ERROR_NO_SUCH_PRIVILEGE; },
         {"GetCurrentProcess()", kOpen, kLookUp,
          "AdjustTokenPrivileges(token, keep others, 1 x {0:0, 0x2}, 16, previous)",
          "CloseHandle(token)", "ExitWindowsEx(0x6, 0xFFFFFFFF)"}},
        {"privilege refused", [](RecordedCalls& r) { r.RefuseAdjustment(ERROR_INVALID_HANDLE); },
         PrivilegeStepsThenExit("0x6")},
        {"every step fails",
         [](RecordedCalls& r) {
             r.openTokenError = ERROR_ACCESS_DENIED;
             r.lookupError = ERROR_NO_SUCH_PRIVILEGE;
             r.RefuseAdjustment(ERROR_INVALID_HANDLE);
         },
         {"GetCurrentProcess()", kOpen, kLookUp,
          "AdjustTokenPrivileges(no token, keep others, 1 x {0:0, 0x2}, 16, previous)",
          "ExitWindowsEx(0x6, 0xFFFFFFFF)"}},
    };
    for (const Case& c : cases) {
        RecordedCalls recorded;
        c.arrange(recorded);
        Win32SessionPower power(recorded.Table());
        std::string reason;
        // Whether the privilege was needed, the system says by its answer.
        EXPECT_TRUE(kForcedReboot(power, reason)) << c.name;
        EXPECT_EQ(recorded.calls, c.calls) << c.name;
    }
}

TEST(Win32SessionPower, ARefusalComesBackAtOnceWithTheSystemsWords) {
    struct Case {
        const char* name;
        std::function<void(RecordedCalls&)> arrange;
        Request request;
        std::string reason;
    };
    const Case cases[] = {
        {"exit refused", [](RecordedCalls& r) { r.exitError = ERROR_ACCESS_DENIED; }, kReboot,
         "ExitWindowsEx failed: " + ErrorText(ERROR_ACCESS_DENIED)},
        {"lock refused", [](RecordedCalls& r) { r.lockError = ERROR_ACCESS_DENIED; }, kLock,
         "LockWorkStation failed: " + ErrorText(ERROR_ACCESS_DENIED)},
    };
    for (const Case& c : cases) {
        RecordedCalls recorded;
        c.arrange(recorded);
        Win32SessionPower power(recorded.Table());
        std::string told;
        power.TellFailures([&](const std::string& what) { told += what; });
        std::string reason;
        EXPECT_FALSE(c.request(power, reason)) << c.name;
        EXPECT_EQ(reason, c.reason) << c.name;
        EXPECT_EQ(told, "") << c.name << ": said once, as the answer";
    }
}

// The real token functions with only the exit and lock requests recorded: the
// real ones would end every process of the Wine prefix (or the session). The
// privilege the window enables exists, and the system takes the record.
TEST(Win32SessionPower, TheRealPrivilegeStepsSucceedAndLeadToTheRequest) {
    Win32SessionCalls calls = RealSessionCalls();
    Texts steps;
    const auto step = [&](const char* name, BOOL ok) {
        steps.push_back(std::string(name) +
                        (ok ? " done" : " failed: " + ErrorText(GetLastError())));
        return ok;
    };
    const auto open = calls.openProcessToken;
    calls.openProcessToken = [&](HANDLE process, DWORD access, PHANDLE token) {
        return step("open", open(process, access, token));
    };
    const auto lookUp = calls.lookupPrivilegeValue;
    LUID found{};
    calls.lookupPrivilegeValue = [&](LPCSTR system, LPCSTR name, PLUID luid) {
        const BOOL ok = step("look up", lookUp(system, name, luid));
        found = *luid;
        return ok;
    };
    const auto adjust = calls.adjustTokenPrivileges;
    calls.adjustTokenPrivileges = [&](HANDLE token, BOOL disableAll, PTOKEN_PRIVILEGES wanted,
                                      DWORD length, PTOKEN_PRIVILEGES previous, PDWORD returned) {
        return step("adjust", adjust(token, disableAll, wanted, length, previous, returned));
    };
    const auto close = calls.closeHandle;
    calls.closeHandle = [&](HANDLE handle) { return step("close", close(handle)); };
    ASSERT_TRUE(calls.exitWindowsEx && calls.lockWorkStation);
    calls.exitWindowsEx = [&](UINT flags, DWORD reason) {
        steps.push_back("exit " + Hex(flags) + " " + Hex(reason));
        return TRUE;
    };
    calls.lockWorkStation = [&] {
        steps.push_back("lock");
        return TRUE;
    };
    Win32SessionPower power(calls);
    std::string reason;
    EXPECT_TRUE(power.Reboot(true, reason)) << reason;
    EXPECT_EQ(steps, (Texts{"open done", "look up done", "adjust done", "close done",
                            "exit 0x6 0xFFFFFFFF"}));
    EXPECT_TRUE(found.LowPart != 0 || found.HighPart != 0);
}

}  // namespace
}  // namespace tolvane::testing
