// The service's pieces under Wine: the power requests with the system calls
// recorded (never made), the loop, the control handler, the command line and
// the event log's texts.
#include <gtest/gtest.h>
#include <windows.h>
// After windows.h, which it needs.
#include <sddl.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <functional>
#include <map>
#include <mutex>
#include <tuple>

#include "fakes/fake_clock.h"
#include "fakes/fake_file_system.h"
#include "fakes/fake_system_power.h"
#include "platform/win32/win32_admin_only.h"
#include "platform/win32/win32_clock.h"
#include "platform/win32/win32_error_text.h"
#include "platform/win32/win32_event_log.h"
#include "platform/win32/win32_file_nodes.h"
#include "platform/win32/win32_file_system.h"
#include "platform/win32/win32_handles.h"
#include "platform/win32/win32_service.h"
#include "platform/win32/win32_system_power.h"
#include "schedule/paths.h"
#include "schedule/schedule_file.h"
#include "service/schedule_service.h"
#include "service/service_loop.h"
#include "win32_test_support.h"

namespace tolvane::testing {
namespace {

using Texts = std::vector<std::string>;

// The user the service acts for, and another one on the same machine.
const std::string kUser = "S-1-5-21-1004336348-1177238915-682003330-1001";
const std::string kOtherUser = "S-1-5-21-1004336348-1177238915-682003330-1002";
// The token WTSQueryUserToken hands out for a session.
HANDLE SessionToken(DWORD session) {
    return reinterpret_cast<HANDLE>(static_cast<std::uintptr_t>(0x90000 + session));
}

// A stand-in for every system call of Win32SystemPower: each call is written
// down with its arguments, and answers as the test arranged.
struct RecordedCalls : RecordedTokenCalls {
    std::vector<WTS_SESSION_INFOA> sessions;
    // Whose each session is; a session not listed has no user token.
    std::map<DWORD, std::string> sessionUsers;
    DWORD shutdownResult = ERROR_SUCCESS;
    DWORD enumerateError = 0;
    std::map<DWORD, DWORD> logoffErrors;  // session -> error
    DWORD disconnectError = 0;
    PWTS_SESSION_INFOA handedOut = nullptr;

    static BOOL Fail(DWORD error) {
        SetLastError(error);
        return FALSE;
    }

    Win32PowerCalls Table() {
        Win32PowerCalls t;
        Record(t);
        t.initiateShutdown = [this](LPSTR machine, LPSTR message, DWORD grace, DWORD flags,
                                    DWORD reason) {
            calls.push_back(std::string("InitiateShutdown(") + (machine ? machine : "local") +
                            ", " + (message ? message : "no message") + ", " +
                            std::to_string(grace) + " s, " + Hex(flags) + ", " + Hex(reason) + ")");
            return shutdownResult;
        };
        t.enumerateSessions = [this](HANDLE server, DWORD reserved, DWORD version,
                                     PWTS_SESSION_INFOA* list, DWORD* count) {
            calls.push_back(std::string("WTSEnumerateSessions(") +
                            (server == WTS_CURRENT_SERVER_HANDLE ? "this server" : "other") + ", " +
                            std::to_string(reserved) + ", " + std::to_string(version) + ")");
            if (enumerateError) return Fail(enumerateError);
            handedOut = sessions.data();
            *list = handedOut;
            *count = static_cast<DWORD>(sessions.size());
            return TRUE;
        };
        t.freeMemory = [this](PVOID memory) {
            calls.push_back(std::string("WTSFreeMemory(") +
                            (memory == handedOut ? "sessions" : "other") + ")");
        };
        t.logoffSession = [this](HANDLE server, DWORD session, BOOL wait) {
            calls.push_back(std::string("WTSLogoffSession(") +
                            (server == WTS_CURRENT_SERVER_HANDLE ? "this server" : "other") + ", " +
                            std::to_string(session) + ", " + (wait ? "wait" : "no wait") + ")");
            const auto error = logoffErrors.find(session);
            if (error != logoffErrors.end()) return Fail(error->second);
            return TRUE;
        };
        t.disconnectSession = [this](HANDLE server, DWORD session, BOOL wait) {
            calls.push_back(std::string("WTSDisconnectSession(") +
                            (server == WTS_CURRENT_SERVER_HANDLE ? "this server" : "other") + ", " +
                            std::to_string(session) + ", " + (wait ? "wait" : "no wait") + ")");
            if (disconnectError) return Fail(disconnectError);
            return TRUE;
        };
        t.queryUserToken = [this](ULONG session, PHANDLE token) {
            calls.push_back("WTSQueryUserToken(" + std::to_string(session) + ")");
            if (sessionUsers.count(session) == 0) return Fail(ERROR_NO_TOKEN);
            *token = SessionToken(session);
            return TRUE;
        };
        t.getTokenInformation = [this](HANDLE token, TOKEN_INFORMATION_CLASS kind, LPVOID buffer,
                                       DWORD length, PDWORD returned) {
            calls.push_back("GetTokenInformation(" + HandleName(token) + ", " +
                            (kind == TokenUser ? "TokenUser" : "other") + ")");
            // The user's SID right behind the record, as the system puts it.
            for (const auto& [session, user] : sessionUsers) {
                if (token != SessionToken(session)) continue;
                PSID sid = nullptr;
                if (!ConvertStringSidToSidA(user.c_str(), &sid)) return Fail(ERROR_INVALID_SID);
                const DWORD sidLength = GetLengthSid(sid);
                *returned = sizeof(TOKEN_USER) + sidLength;
                if (length < *returned) {
                    LocalFree(sid);
                    return Fail(ERROR_INSUFFICIENT_BUFFER);
                }
                auto* record = static_cast<TOKEN_USER*>(buffer);
                record->User.Sid = static_cast<BYTE*>(buffer) + sizeof(TOKEN_USER);
                record->User.Attributes = 0;
                CopySid(sidLength, record->User.Sid, sid);
                LocalFree(sid);
                return TRUE;
            }
            return Fail(ERROR_INVALID_HANDLE);
        };
        t.convertSidToStringSid = ::ConvertSidToStringSidA;
        t.localFree = ::LocalFree;
        return t;
    }

    std::string HandleName(HANDLE handle) const override {
        const auto value = reinterpret_cast<std::uintptr_t>(handle);
        if (value >= 0x90000 && value < 0x90000 + 0x20000) {
            return "session " + std::to_string(value - 0x90000) + "'s token";
        }
        return RecordedTokenCalls::HandleName(handle);
    }
};

WTS_SESSION_INFOA Session(DWORD id, WTS_CONNECTSTATE_CLASS state) {
    static char name[] = "session";
    return WTS_SESSION_INFOA{id, name, state};
}

// Services' session 0, the user at the console, another user signed in
// remotely, the user's own disconnected session, a session at the sign-in
// screen, the remote desktop listener, and the user signed in remotely too.
std::vector<WTS_SESSION_INFOA> TypicalSessions() {
    return {Session(0, WTSDisconnected), Session(1, WTSActive),    Session(2, WTSActive),
            Session(3, WTSDisconnected), Session(4, WTSConnected), Session(65536, WTSListen),
            Session(5, WTSActive)};
}

void TypicalUsers(RecordedCalls& r) {
    r.sessionUsers = {{1, kUser}, {2, kOtherUser}, {3, kUser}, {5, kUser}};
}

// The look at whose an active session is.
Texts WhoseIs(DWORD session) {
    const std::string token = "session " + std::to_string(session) + "'s token";
    return {"WTSQueryUserToken(" + std::to_string(session) + ")",
            "GetTokenInformation(" + token + ", TokenUser)", "CloseHandle(" + token + ")"};
}

const Texts kPrivilegeSteps = {
    "OpenProcessToken(this process, 0x28)",
    "LookupPrivilegeValue(local, SeShutdownPrivilege)",
    "AdjustTokenPrivileges(token, keep others, 1 x {19:0, 0x2}, 0, no previous)",
    "CloseHandle(token)",
};

Texts Then(Texts first, const Texts& more) {
    first.insert(first.end(), more.begin(), more.end());
    return first;
}

// The calls of a log-off or lock of the typical sessions: each active one is
// looked at, and `act` goes to the user's own, 1 and 5, never to 2.
Texts OnTheUsersSessions(const std::string& act) {
    const auto on = [&](DWORD session) {
        return act + "(this server, " + std::to_string(session) + ", no wait)";
    };
    Texts calls = {"WTSEnumerateSessions(this server, 0, 1)"};
    for (const Texts& step : {WhoseIs(1), Texts{on(1)}, WhoseIs(2), WhoseIs(5), Texts{on(5)},
                              Texts{"WTSFreeMemory(sessions)"}}) {
        calls = Then(calls, step);
    }
    return calls;
}

using Action = std::function<bool(SystemPower&, std::string&)>;

TEST(Win32SystemPower, EachActionMakesExactlyTheseCalls) {
    struct Case {
        const char* name;
        Action act;
        Texts calls;
    };
    const Case cases[] = {
        {"reboot", [](SystemPower& p, std::string& r) { return p.Reboot(false, r); },
         Then(kPrivilegeSteps, {"InitiateShutdown(local, no message, 0 s, 0x4, 0x80000000)"})},
        {"forced reboot", [](SystemPower& p, std::string& r) { return p.Reboot(true, r); },
         Then(kPrivilegeSteps, {"InitiateShutdown(local, no message, 0 s, 0x7, 0x80000000)"})},
        {"shutdown", [](SystemPower& p, std::string& r) { return p.ShutDown(false, r); },
         Then(kPrivilegeSteps, {"InitiateShutdown(local, no message, 0 s, 0x0, 0x80000000)"})},
        {"forced shutdown", [](SystemPower& p, std::string& r) { return p.ShutDown(true, r); },
         Then(kPrivilegeSteps, {"InitiateShutdown(local, no message, 0 s, 0x3, 0x80000000)"})},
        {"log off", [](SystemPower& p, std::string& r) { return p.LogOff(false, r); },
         OnTheUsersSessions("WTSLogoffSession")},
        {"forced log off", [](SystemPower& p, std::string& r) { return p.LogOff(true, r); },
         OnTheUsersSessions("WTSLogoffSession")},
        {"lock", [](SystemPower& p, std::string& r) { return p.Lock(r); },
         OnTheUsersSessions("WTSDisconnectSession")},
    };
    for (const Case& c : cases) {
        RecordedCalls recorded;
        recorded.sessions = TypicalSessions();
        TypicalUsers(recorded);
        Win32SystemPower power(kUser, recorded.Table());
        std::string reason;
        EXPECT_TRUE(c.act(power, reason)) << c.name << ": " << reason;
        EXPECT_EQ(recorded.calls, c.calls) << c.name;
    }
}

TEST(Win32SystemPower, RefusalsComeBackWithTheSystemsWordsAndStopWhatDependsOnThem) {
    const Action reboot = [](SystemPower& p, std::string& r) { return p.Reboot(true, r); };
    const Action logOff = [](SystemPower& p, std::string& r) { return p.LogOff(false, r); };
    const Action lock = [](SystemPower& p, std::string& r) { return p.Lock(r); };
    struct Case {
        const char* name;
        std::function<void(RecordedCalls&)> arrange;
        Action act;
        Texts calls;
        std::string reasonHolds;
    };
    const Case cases[] = {
        {"token not opened",
         [](RecordedCalls& r) { r.openTokenError = ERROR_ACCESS_DENIED; },
         reboot,
         {"OpenProcessToken(this process, 0x28)"},
         ErrorText(ERROR_ACCESS_DENIED)},
        // The call succeeds, yet the token does not hold the privilege.
        {"privilege not held", [](RecordedCalls& r) { r.adjustLastError = ERROR_NOT_ALL_ASSIGNED; },
         reboot, kPrivilegeSteps, ErrorText(ERROR_NOT_ALL_ASSIGNED)},
        // Nothing is asked of a token without the privilege's identifier.
        {"privilege not found",
         [](RecordedCalls& r) { r.lookupError = ERROR_NO_SUCH_PRIVILEGE; },
         reboot,
         {"OpenProcessToken(this process, 0x28)",
          "LookupPrivilegeValue(local, SeShutdownPrivilege)", "CloseHandle(token)"},
         ErrorText(ERROR_NO_SUCH_PRIVILEGE)},
        {"privilege refused", [](RecordedCalls& r) { r.RefuseAdjustment(ERROR_INVALID_HANDLE); },
         reboot, kPrivilegeSteps, ErrorText(ERROR_INVALID_HANDLE)},
        {"shutdown refused",
         [](RecordedCalls& r) { r.shutdownResult = ERROR_SHUTDOWN_IN_PROGRESS; }, reboot,
         Then(kPrivilegeSteps, {"InitiateShutdown(local, no message, 0 s, 0x7, 0x80000000)"}),
         ErrorText(ERROR_SHUTDOWN_IN_PROGRESS)},
        {"sessions not listed",
         [](RecordedCalls& r) { r.enumerateError = ERROR_ACCESS_DENIED; },
         logOff,
         {"WTSEnumerateSessions(this server, 0, 1)"},
         ErrorText(ERROR_ACCESS_DENIED)},
        {"nobody logged on",
         [](RecordedCalls& r) {
             r.sessions = {Session(0, WTSDisconnected), Session(1, WTSConnected)};
         },
         logOff,
         {"WTSEnumerateSessions(this server, 0, 1)", "WTSFreeMemory(sessions)"},
         "No session of user " + kUser + " is active."},
        // One session that cannot be logged off does not spare the others.
        {"one session refuses", [](RecordedCalls& r) { r.logoffErrors[1] = ERROR_ACCESS_DENIED; },
         logOff, OnTheUsersSessions("WTSLogoffSession"),
         "session 1: " + ErrorText(ERROR_ACCESS_DENIED)},
        // Sessions whose user cannot be told are left alone like another user's.
        {"only another user is signed in",
         [](RecordedCalls& r) {
             r.sessionUsers = {{2, kOtherUser}};
         },
         lock,
         Then(Then(Then({"WTSEnumerateSessions(this server, 0, 1)", "WTSQueryUserToken(1)"},
                        WhoseIs(2)),
                   {"WTSQueryUserToken(5)"}),
              {"WTSFreeMemory(sessions)"}),
         "No session of user " + kUser + " is active."},
        {"disconnect refused", [](RecordedCalls& r) { r.disconnectError = ERROR_ACCESS_DENIED; },
         lock, OnTheUsersSessions("WTSDisconnectSession"),
         "session 5: " + ErrorText(ERROR_ACCESS_DENIED)},
    };
    for (const Case& c : cases) {
        RecordedCalls recorded;
        recorded.sessions = TypicalSessions();
        TypicalUsers(recorded);
        c.arrange(recorded);
        Win32SystemPower power(kUser, recorded.Table());
        std::string reason;
        EXPECT_FALSE(c.act(power, reason)) << c.name;
        EXPECT_EQ(recorded.calls, c.calls) << c.name;
        EXPECT_NE(reason.find(c.reasonHolds), std::string::npos) << c.name << ": " << reason;
    }
}

// The machine's schedule acts on every user's sessions: log off ends the
// active and disconnected ones that have a user, lock disconnects the active
// ones; reboot and shutdown are the same requests as for one user.
TEST(Win32SystemPower, ForTheMachineActsOnEveryUsersSessions) {
    const auto Joined = [](std::initializer_list<Texts> parts) {
        Texts all;
        for (const Texts& part : parts) all.insert(all.end(), part.begin(), part.end());
        return all;
    };
    const auto on = [](const std::string& act, DWORD session) {
        return act + "(this server, " + std::to_string(session) + ", no wait)";
    };
    const Texts noUser = {"WTSQueryUserToken(0)"};
    struct Case {
        const char* name;
        std::vector<WTS_SESSION_INFOA> sessions;
        Action act;
        bool done;
        Texts calls;
        std::string reason;
    };
    const Action logOff = [](SystemPower& p, std::string& r) { return p.LogOff(true, r); };
    const Action lock = [](SystemPower& p, std::string& r) { return p.Lock(r); };
    const Texts list = {"WTSEnumerateSessions(this server, 0, 1)"};
    const Texts freed = {"WTSFreeMemory(sessions)"};
    const Case cases[] = {
        {"log off", TypicalSessions(), logOff, true,
         Joined({list,
                 noUser,
                 WhoseIs(1),
                 {on("WTSLogoffSession", 1)},
                 WhoseIs(2),
                 {on("WTSLogoffSession", 2)},
                 WhoseIs(3),
                 {on("WTSLogoffSession", 3)},
                 WhoseIs(5),
                 {on("WTSLogoffSession", 5)},
                 freed}),
         ""},
        {"lock", TypicalSessions(), lock, true,
         Joined({list,
                 WhoseIs(1),
                 {on("WTSDisconnectSession", 1)},
                 WhoseIs(2),
                 {on("WTSDisconnectSession", 2)},
                 WhoseIs(5),
                 {on("WTSDisconnectSession", 5)},
                 freed}),
         ""},
        {"nobody logged on",
         {Session(0, WTSDisconnected), Session(4, WTSConnected)},
         logOff,
         false,
         Joined({list, noUser, freed}),
         "Nobody is logged on."},
        {"reboot", TypicalSessions(),
         [](SystemPower& p, std::string& r) { return p.Reboot(false, r); }, true,
         Then(kPrivilegeSteps, {"InitiateShutdown(local, no message, 0 s, 0x4, 0x80000000)"}), ""},
    };
    for (const Case& c : cases) {
        RecordedCalls recorded;
        recorded.sessions = c.sessions;
        TypicalUsers(recorded);
        recorded.sessionUsers[2] = kOtherUser;
        Win32SystemPower power(Win32SystemPower::EveryUser{}, recorded.Table());
        std::string reason;
        EXPECT_EQ(c.act(power, reason), c.done) << c.name << ": " << reason;
        EXPECT_EQ(recorded.calls, c.calls) << c.name;
        EXPECT_EQ(reason, c.reason) << c.name;
    }
}

// The real token functions with only the shutdown request itself recorded:
// the privilege the service enables exists and the system lets it be enabled.
TEST(Win32SystemPower, TheRealPrivilegeStepsLeadToTheRequest) {
    Win32PowerCalls calls = RealPowerCalls();
    for (auto* member : {&calls.logoffSession, &calls.disconnectSession}) {
        ASSERT_TRUE(*member);
        *member = [](HANDLE, DWORD, BOOL) -> BOOL {
            ADD_FAILURE() << "a session call was made";
            return FALSE;
        };
    }
    ASSERT_TRUE(calls.initiateShutdown);
    Texts requested;
    calls.initiateShutdown = [&](LPSTR, LPSTR, DWORD, DWORD flags, DWORD reason) -> DWORD {
        requested.push_back(Hex(flags) + " " + Hex(reason));
        return ERROR_SUCCESS;
    };
    Win32SystemPower power(kUser, calls);
    std::string reason;
    EXPECT_TRUE(power.Reboot(true, reason)) << reason;
    EXPECT_EQ(requested, Texts{"0x7 0x80000000"});
}

// ---- The loop ----

// A folder whose path holds spaces, with the real file functions, as the
// service finds it beside its program.
class ServiceFolder : public ::testing::Test {
  protected:
    std::string scratch = MakeScratchFolder();
    std::string folder = scratch + "\\Tolvane service folder";
    ScratchWin32FileSystem files{folder};
    std::string schedule = folder + "\\rebootdata.kx";

    ServiceFolder() { CreateDirectoryA(folder.c_str(), nullptr); }
    ~ServiceFolder() override { RemoveFolderTree(scratch); }

    void Write(const Texts& lines) {
        ASSERT_TRUE(ReplaceFileContents(files, schedule, ScheduleFileBytes(lines)));
    }
    std::string Read() { return files.ReadWholeFile(schedule).value_or("(missing)"); }
    Texts FolderFiles() { return FolderNames(folder); }
};

TEST_F(ServiceFolder, ConsoleModeRunsDueLinesOnceAndTakesOneTimeLinesOutOfTheFileFirst) {
    Write({"3:00 AM-Force Reboot-Repeat YES-Every Day", "3:00 AM-LogOff-Repeat NO-Every Day",
           "3:01 AM-ShutDown-Repeat YES-Every Day"});
    FakeClock clock;
    // Started at 2:59; every reading after that is 3:00.
    clock.onRead = [](FakeClock& c) {
        c.now = FakeClock::At(c.reads == 1 ? 2 : 3, c.reads == 1 ? 59 : 0);
    };
    FakeSystemPower power;
    Texts fileAtRequest;
    power.onRequest = [&] { fileAtRequest.push_back(Read()); };
    FakeServiceLog log;
    ServiceOptions options;
    options.console = true;
    options.ticks = 3;
    options.intervalSeconds = 0.01;

    ASSERT_EQ(GetPriorityClass(GetCurrentProcess()), DWORD(NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(RunConsole(options, files, clock, power, log), 0);

    // A background task: a huge schedule takes no time from the user's programs.
    EXPECT_EQ(GetPriorityClass(GetCurrentProcess()), DWORD(BELOW_NORMAL_PRIORITY_CLASS));
    EXPECT_EQ(power.requests, (Texts{"forced reboot", "log-off"}));
    const std::string without = ScheduleFileBytes(
        {"3:00 AM-Force Reboot-Repeat YES-Every Day", "3:01 AM-ShutDown-Repeat YES-Every Day"});
    ASSERT_EQ(fileAtRequest.size(), 2u);
    EXPECT_EQ(fileAtRequest[1], without) << "the one-time line was still there at its request";
    EXPECT_EQ(Read(), without);
    // Beside the schedule, only the files all its writers share.
    EXPECT_EQ(FolderFiles(), (Texts{"rebootdata.kx", "rebootdata.kx.lock", "rebootdata.kx.runs"}))
        << "a temporary file was left behind";
    ASSERT_FALSE(log.infos.empty());
    EXPECT_EQ(log.infos.front(), "Started; carrying out " + schedule);
    EXPECT_EQ(log.infos.back(), "Stopped.");
    EXPECT_TRUE(log.errors.empty());
}

// The window's schedule in a folder of its own, named with --schedule, while
// the program runs from elsewhere (the service's copy in Program Files): the
// file system is made as tolvane-service.exe makes it from its arguments.
TEST(ServiceScheduleOption, ConsoleModeCarriesOutTheNamedFileInAnotherFolder) {
    const std::string scratch = MakeScratchFolder();
    const std::string folder = scratch + "\\The window's folder (with spaces) & co";
    ASSERT_TRUE(CreateDirectoryA(folder.c_str(), nullptr));
    const std::string schedule = folder + "\\rebootdata.kx";
    const std::string beside = Win32FileSystem().ProgramFolder() + "\\rebootdata.kx";
    const bool besideExisted = GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES;

    std::string error;
    const auto options = ParseWindowsServiceArguments(
        {"--console", "--schedule", schedule, "--ticks", "2", "--interval", "0.01"}, error);
    ASSERT_TRUE(options) << error;
    Win32FileSystem files(FolderOf(options->schedule, "\\/"));
    EXPECT_EQ(files.ScheduleFolder(), folder);
    ASSERT_TRUE(
        ReplaceFileContents(files, schedule,
                            ScheduleFileBytes({"3:00 AM-Reboot-Repeat YES-Every Day",
                                               "3:00 AM-Force ShutDown-Repeat NO-Every Day"})));
    FakeClock clock;
    clock.onRead = [](FakeClock& c) {
        c.now = FakeClock::At(c.reads == 1 ? 2 : 3, c.reads == 1 ? 59 : 0);
    };
    FakeSystemPower power;
    std::vector<std::string> fileAtRequest;
    power.onRequest = [&] { fileAtRequest.push_back(files.ReadWholeFile(schedule).value_or("")); };
    FakeServiceLog log;

    EXPECT_EQ(RunConsole(*options, files, clock, power, log), 0);

    EXPECT_EQ(power.requests, (Texts{"reboot", "forced shutdown"}));
    const std::string without = ScheduleFileBytes({"3:00 AM-Reboot-Repeat YES-Every Day"});
    ASSERT_EQ(fileAtRequest.size(), 2u);
    EXPECT_EQ(fileAtRequest[1], without) << "the one-time line was still there at its request";
    EXPECT_EQ(files.ReadWholeFile(schedule), without);
    ASSERT_FALSE(log.infos.empty());
    EXPECT_EQ(log.infos.front(), "Started; carrying out " + schedule);
    EXPECT_TRUE(log.errors.empty());
    // Nothing was written beside the program, and no temporary file is left
    // beside the schedule: only the files all its writers share.
    EXPECT_EQ(GetFileAttributesA(beside.c_str()) != INVALID_FILE_ATTRIBUTES, besideExisted);
    WIN32_FIND_DATAA found;
    HANDLE search = FindFirstFileA((folder + "\\*").c_str(), &found);
    ASSERT_NE(search, INVALID_HANDLE_VALUE);
    Texts names;
    do {
        if (found.cFileName[0] != '.') names.push_back(found.cFileName);
    } while (FindNextFileA(search, &found));
    FindClose(search);
    EXPECT_EQ(names, (Texts{"rebootdata.kx", "rebootdata.kx.lock", "rebootdata.kx.runs"}));
    RemoveFolderTree(scratch);
}

// Longer than any test runs: a wait this long ends only by its stop.
constexpr double kHours = 6 * 3600.0;

TEST(StopEventWaiter, AWaitWithNoStopLastsItsTime) {
    UniqueHandle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    StopEventWaiter waiter(stop.Get());
    EXPECT_TRUE(waiter.WaitFor(0));
    const double interval = 0.2;
    const auto start = std::chrono::steady_clock::now();
    EXPECT_TRUE(waiter.WaitFor(interval));
    const double elapsed =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    // A slow machine only adds to it. The allowance is the coarseness of the
    // system's timer (a sixty-fourth of a second on Windows).
    EXPECT_GE(elapsed, interval - 0.02);
}

TEST(StopEventWaiter, AStopEndsTheWaitAtOnceAndEveryOneAfterIt) {
    UniqueHandle stop(CreateEventA(nullptr, TRUE, FALSE, nullptr));
    StopEventWaiter waiter(stop.Get());
    HANDLE waiting = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    bool answer = true;
    // Hours to wait: the thread ending at all shows the stop ended its wait.
    TestThread thread([&] {
        SetEvent(waiting);
        answer = waiter.WaitFor(kHours);
    });
    ASSERT_TRUE(Signalled(waiting));
    SetEvent(stop.Get());
    thread.Join();
    EXPECT_FALSE(answer);
    EXPECT_FALSE(waiter.WaitFor(0));
    EXPECT_FALSE(waiter.WaitFor(kHours));
    CloseHandle(waiting);
}

TEST(StopEventWaiter, AWaitThatFailsIsAStop) {
    // A handle that names nothing: the service could never be stopped.
    StopEventWaiter waiter(nullptr);
    EXPECT_FALSE(waiter.WaitFor(kHours));
}

// ---- The control handler ----

struct Reported {
    std::mutex mutex;
    std::vector<SERVICE_STATUS> statuses;
    ServiceControl::Reporter Reporter() {
        return [this](SERVICE_STATUS& status) {
            std::lock_guard lock(mutex);
            statuses.push_back(status);
            return TRUE;
        };
    }
    std::vector<DWORD> States() {
        std::lock_guard lock(mutex);
        std::vector<DWORD> states;
        for (const auto& s : statuses) states.push_back(s.dwCurrentState);
        return states;
    }
};

TEST(ServiceControl, RunningItTakesStopAndShutdownOnly) {
    struct Case {
        DWORD control;
        DWORD answer;
        bool stops;
    };
    const Case cases[] = {
        {SERVICE_CONTROL_STOP, NO_ERROR, true},
        {SERVICE_CONTROL_SHUTDOWN, NO_ERROR, true},
        {SERVICE_CONTROL_INTERROGATE, NO_ERROR, false},
        {SERVICE_CONTROL_PAUSE, ERROR_CALL_NOT_IMPLEMENTED, false},
        {SERVICE_CONTROL_PARAMCHANGE, ERROR_CALL_NOT_IMPLEMENTED, false},
        {SERVICE_CONTROL_PRESHUTDOWN, ERROR_CALL_NOT_IMPLEMENTED, false},
    };
    for (const Case& c : cases) {
        Reported reported;
        HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
        ServiceControl control(reported.Reporter(), stop);
        control.ReportRunning();
        ASSERT_EQ(reported.statuses.size(), 1u);
        const SERVICE_STATUS running = reported.statuses[0];
        EXPECT_EQ(running.dwServiceType, static_cast<DWORD>(SERVICE_WIN32_OWN_PROCESS));
        EXPECT_EQ(running.dwCurrentState, static_cast<DWORD>(SERVICE_RUNNING));
        EXPECT_EQ(running.dwControlsAccepted,
                  static_cast<DWORD>(SERVICE_ACCEPT_STOP | SERVICE_ACCEPT_SHUTDOWN));

        EXPECT_EQ(control.Handle(c.control), c.answer) << c.control;
        EXPECT_EQ(WaitForSingleObject(stop, 0) == WAIT_OBJECT_0, c.stops) << c.control;
        const std::vector<DWORD> expected =
            c.stops ? std::vector<DWORD>{SERVICE_RUNNING, SERVICE_STOP_PENDING}
                    : std::vector<DWORD>{SERVICE_RUNNING};
        EXPECT_EQ(reported.States(), expected) << c.control;
        if (c.stops) {
            EXPECT_EQ(reported.statuses.back().dwControlsAccepted, 0u);
            EXPECT_GT(reported.statuses.back().dwWaitHint, 0u);
        }
        CloseHandle(stop);
    }
}

// The service's thread as ServiceMain runs it, stopped by the handler while
// it waits for its next tick.
TEST(ServiceControl, AStopWhileWaitingEndsTheServiceReportedStopped) {
    Reported reported;
    HANDLE stop = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    ServiceControl control(reported.Reporter(), stop);
    FakeFileSystem files;
    const std::string path = files.folder + "\\rebootdata.kx";
    files.files[path] = ScheduleFileBytes({"4:00 PM-Reboot-Repeat YES-Every Day"});
    FakeClock clock;
    // The first tick reads the clock for the schedule's line; the wait comes next.
    HANDLE ticked = CreateEventA(nullptr, TRUE, FALSE, nullptr);
    clock.onRead = [&](FakeClock& c) {
        if (c.reads == 2) SetEvent(ticked);
    };
    FakeSystemPower power;
    FakeServiceLog log;
    TestThread serviceThread([&] {
        ScheduleService service(files, path, clock, power, log);
        control.ReportRunning();
        StopEventWaiter waiter(stop);
        Win32Clock loopClock;
        RunServiceLoop(waiter, loopClock, kHours, 0, [&] { service.Tick(); });
        control.ReportStopped(NO_ERROR);
    });
    ASSERT_TRUE(Signalled(ticked)) << "no first tick";
    EXPECT_EQ(control.Handle(SERVICE_CONTROL_STOP), static_cast<DWORD>(NO_ERROR));
    // Ends only by the stop: the next tick is hours away.
    serviceThread.Join();
    EXPECT_EQ(reported.States(),
              (std::vector<DWORD>{SERVICE_RUNNING, SERVICE_STOP_PENDING, SERVICE_STOPPED}));
    EXPECT_EQ(reported.statuses.back().dwWin32ExitCode, static_cast<DWORD>(NO_ERROR));
    EXPECT_EQ(control.Status().dwCurrentState, static_cast<DWORD>(SERVICE_STOPPED));
    EXPECT_TRUE(power.requests.empty());
    CloseHandle(ticked);
    CloseHandle(stop);
}

// ---- The command line ----

TEST(ServiceSchedule, WithoutTheOptionIsTheScheduleFileBesideTheProgram) {
    FakeFileSystem files;
    const ServiceOptions none;
    files.folder = "C:\\Program Files\\Tolvane";
    EXPECT_EQ(ServiceSchedulePath(none, files), "C:\\Program Files\\Tolvane\\rebootdata.kx");
    files.folder = "D:\\";
    EXPECT_EQ(ServiceSchedulePath(none, files), "D:\\rebootdata.kx");
}

TEST(ServiceSchedule, WithTheOptionIsTheFileNamedThere) {
    FakeFileSystem files;
    ServiceOptions options;
    options.schedule = "C:\\Users\\A B\\Tolvane\\my schedule.kx";
    EXPECT_EQ(ServiceSchedulePath(options, files), options.schedule);
}

// The folders of paths themselves are tested with FolderOf in the core.
TEST(ServiceSchedule, TheFileSystemsScheduleFolderIsTheNamedFilesFolder) {
    // Without a folder of its own the schedule stays beside the program.
    Win32FileSystem beside;
    EXPECT_EQ(beside.ScheduleFolder(), beside.ProgramFolder());
    Win32FileSystem elsewhere(FolderOf("C:\\Users\\A B\\Tolvane\\rebootdata.kx", "\\/"));
    EXPECT_EQ(elsewhere.ScheduleFolder(), "C:\\Users\\A B\\Tolvane");
    EXPECT_EQ(elsewhere.ProgramFolder(), beside.ProgramFolder());
}

// ---- The event log ----

// The event viewer shows an entry through the message of its id in the
// program named by the event source's EventMessageFile: the built program
// must hold one for each id, showing the text as it was written.
TEST(Win32EventLog, TheProgramsMessageTableShowsEachTextAsWritten) {
    std::string exe = "Z:" TOLVANE_SERVICE_EXE;
    for (char& c : exe) {
        if (c == '/') c = '\\';
    }
    HMODULE module = LoadLibraryExA(exe.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE);
    ASSERT_NE(module, nullptr) << exe << ": " << ErrorText(GetLastError());
    const std::string text = "The reboot for \"3:00 AM-Reboot\" failed: 100% %1 refused.";
    for (DWORD id :
         {kEventInfo, kEventError, kEventDone, kEventFailed, kEventRefused, kEventSkipped}) {
        DWORD_PTR inserts[] = {reinterpret_cast<DWORD_PTR>(text.c_str())};
        char* shown = nullptr;
        const DWORD length =
            FormatMessageA(FORMAT_MESSAGE_FROM_HMODULE | FORMAT_MESSAGE_ALLOCATE_BUFFER |
                               FORMAT_MESSAGE_ARGUMENT_ARRAY,
                           module, id, MAKELANGID(LANG_ENGLISH, SUBLANG_ENGLISH_US),
                           reinterpret_cast<LPSTR>(&shown), 0, reinterpret_cast<va_list*>(inserts));
        ASSERT_NE(length, 0u) << "no message " << id << ": " << ErrorText(GetLastError());
        EXPECT_EQ(std::string(shown, length), text) << id;
        LocalFree(shown);
    }
    FreeLibrary(module);
}

// Each outcome of an action has its own event id, and its four facts stand
// in the text each on its own line: a schedule line that holds a line break
// cannot pass itself off as another fact.
TEST(Win32EventLog, ARecordOfAnActionCarriesItsFactsUnderTheIdOfItsOutcome) {
    using Entry = std::tuple<WORD, DWORD, std::string>;
    std::vector<Entry> written;
    Win32EventLog log([&](WORD type, DWORD id, const std::string& text) {
        written.emplace_back(type, id, text);
    });
    const std::string path = "C:\\ProgramData\\Tolvane\\rebootdata.kx";
    struct Case {
        ActionRecord record;
        Entry entry;
    };
    const Case cases[] = {
        {{"Requested forced reboot.", "3:00 AM-Force Reboot-Repeat YES-Every Day", path,
          "(all users)", "done", false},
         {EVENTLOG_INFORMATION_TYPE, 3,
          "Requested forced reboot.\r\nLine: 3:00 AM-Force Reboot-Repeat YES-Every Day\r\n"
          "Schedule: " +
              path + "\r\nUser: (all users)\r\nResult: done"}},
        {{"Log off failed: Nobody is logged on.", "6:00 PM-LogOff", path, "(all users)", "failed",
          true},
         {EVENTLOG_ERROR_TYPE, 4,
          "Log off failed: Nobody is logged on.\r\nLine: 6:00 PM-LogOff\r\nSchedule: " + path +
              "\r\nUser: (all users)\r\nResult: failed"}},
        {{"Refused: others can change it.", "", path, "(all users)", "refused", true},
         {EVENTLOG_ERROR_TYPE, 5,
          "Refused: others can change it.\r\nLine: (none)\r\nSchedule: " + path +
              "\r\nUser: (all users)\r\nResult: refused"}},
        {{"Not run.", "3:00 AM-Lock\r\nResult: done", "C:\\Users\\ann\\rebootdata.kx", kUser,
          "skipped", false},
         {EVENTLOG_INFORMATION_TYPE, 6,
          "Not run.\r\nLine: 3:00 AM-Lock\\r\\nResult: done\r\nSchedule: "
          "C:\\Users\\ann\\rebootdata.kx"
          "\r\nUser: " +
              kUser + "\r\nResult: skipped"}},
        {{"Something else.", "", "", "", "", true},
         {EVENTLOG_ERROR_TYPE, kEventError,
          "Something else.\r\nLine: (none)\r\nSchedule: (none)\r\nUser: (none)\r\nResult: (none)"}},
    };
    for (const Case& c : cases) {
        written.clear();
        log.Record(c.record);
        ASSERT_EQ(written.size(), 1u) << c.record.message;
        EXPECT_EQ(written[0], c.entry) << c.record.message;
    }
    // Plain entries are one line too.
    written.clear();
    log.Info("Started; carrying out C:\\x\r\nforged");
    EXPECT_EQ(written, (std::vector<Entry>{{EVENTLOG_INFORMATION_TYPE, kEventInfo,
                                            "Started; carrying out C:\\x\\r\\nforged"}}));
}

// ---- The machine's schedule ----

TEST(MachinePlaces, AreTheFilesGivenOrTheirPlacesInTheMachinesFolder) {
    ServiceOptions options;
    options.machine = true;
    MachineRun run = MachinePlaces(options, "C:\\ProgramData\\Tolvane");
    EXPECT_EQ(run.schedule, "C:\\ProgramData\\Tolvane\\rebootdata.kx");
    EXPECT_EQ(run.machine.stateFolder, "C:\\ProgramData\\Tolvane\\state");
    options.schedule = "D:\\T\\m.kx";
    options.state = "D:\\T\\s";
    run = MachinePlaces(options, "C:\\ProgramData\\Tolvane");
    EXPECT_EQ(run.schedule, "D:\\T\\m.kx");
    EXPECT_EQ(run.machine.stateFolder, "D:\\T\\s");
    // Where the system keeps the data of all users.
    const std::string home = MachineHome();
    ASSERT_FALSE(home.empty());
    EXPECT_EQ(home, KnownFolder(FOLDERID_ProgramData) + "\\Tolvane");
}

class MachineFolder : public ::testing::Test {
  protected:
    ~MachineFolder() override { RemoveFolderTree(scratch); }
    std::string scratch = MakeScratchFolder();
    std::string home = scratch + "\\Tolvane";
    std::string state = home + "\\state";
    std::string schedule = home + "\\rebootdata.kx";
    std::string self = RealIdentity().runningAs().value_or("");

    // What a console run is given: the real disk and security, a clock that
    // reads 2:59 once and 3:00 from then on, power and log that only listen.
    Win32FileNodes nodes;
    FakeServiceLog log;
    FakeClock clock = AtTwoFiftyNineThenThree();
    FakeSystemPower power;
    RealSecurityReader reader;
    Win32AdminOnlyCheck adminOnly{reader, self};

    static FakeClock AtTwoFiftyNineThenThree() {
        FakeClock clock;
        clock.onRead = [](FakeClock& c) {
            c.now = FakeClock::At(c.reads == 1 ? 2 : 3, c.reads == 1 ? 59 : 0);
        };
        return clock;
    }
    static ServiceOptions ThreeQuickTicks() {
        ServiceOptions options;
        options.console = true;
        options.ticks = 3;
        options.intervalSeconds = 0.01;
        return options;
    }
};

TEST_F(MachineFolder, IsMadeWhenMissingAndLeftAsItIsWhenItStands) {
    EXPECT_EQ(MakeMachineFolder(home), "");
    EXPECT_EQ(MakeMachineFolder(state), "");
    EXPECT_NE(GetFileAttributesA(state.c_str()) & FILE_ATTRIBUTE_DIRECTORY, 0u);
    EXPECT_EQ(MakeMachineFolder(state), "") << "made again";
    WriteWholeFile(state + "\\kept", "x");
    EXPECT_EQ(FolderNames(state), Texts{"kept"});
    // A file in its place is no folder, and stays.
    WriteWholeFile(home + "\\file", "x");
    EXPECT_EQ(MakeMachineFolder(home + "\\file"), "something else than a folder stands there");
    EXPECT_NE(MakeMachineFolder(scratch + "\\missing\\below"), "");
    // What the service made is nobody else's.
    EXPECT_EQ(adminOnly.WhyOthersCanChange(state), "");
}

// The machine's schedule run in the console as tolvane-service.exe --console
// --machine runs it: the real check on the real folders, the done record,
// the file never rewritten, every action a record for all users.
TEST_F(MachineFolder, ConsoleRunsTheMachinesLinesForEveryoneAndNeverRewritesTheFile) {
    ASSERT_EQ(MakeMachineFolder(home), "");
    ASSERT_EQ(MakeMachineFolder(state), "");
    const std::string bytes = ScheduleFileBytes(
        {"3:00 AM-Force Reboot-Repeat YES-Every Day", "3:00 AM-LogOff-Repeat NO-Every Day"});
    WriteWholeFile(schedule, bytes);
    NoLinkFileSystem files(nodes, Win32FileSystem().ProgramFolder(), home, &log);
    ServiceOptions options = ThreeQuickTicks();
    options.machine = true;
    MachineRun machine = MachinePlaces(options, home);
    machine.machine.adminOnly = &adminOnly;

    EXPECT_EQ(RunConsole(options, files, clock, power, log, &machine), 0);

    EXPECT_EQ(power.requests, (Texts{"forced reboot", "log-off"}));
    EXPECT_EQ(files.ReadWholeFile(schedule), bytes) << "the administrators' file was rewritten";
    const std::string read = files.ReadWholeFile(state + "\\rebootdata.kx.done").value_or("");
    EXPECT_NE(read.find("\t3:00 AM-LogOff-Repeat NO-Every Day\r\n"), std::string::npos) << read;
    ASSERT_EQ(log.records.size(), 2u);
    for (const ActionRecord& record : log.records) {
        EXPECT_EQ(record.schedule, schedule);
        EXPECT_EQ(record.user, "(all users)");
        EXPECT_EQ(record.result, "done");
    }
    EXPECT_EQ(log.infos.front(), "Started; carrying out the machine's schedule " + schedule);
    EXPECT_TRUE(log.errors.empty()) << log.errors.front();
}

// A user's schedule beside the machine's: at a minute where a machine's line
// is due, the user's lines are not run, and say why.
TEST_F(MachineFolder, AUsersLinesGiveWayAtTheMinuteTheMachinesScheduleActs) {
    ASSERT_EQ(MakeMachineFolder(home), "");
    ASSERT_EQ(MakeMachineFolder(state), "");
    WriteWholeFile(schedule, ScheduleFileBytes({"3:00 AM-LockWorkStation-Repeat YES-Every Day"}));
    const std::string user = scratch + "\\user";
    ASSERT_TRUE(CreateDirectoryA(user.c_str(), nullptr));
    const std::string mine = user + "\\rebootdata.kx";
    WriteWholeFile(mine, ScheduleFileBytes({"3:00 AM-Reboot-Repeat YES-Every Day",
                                            "3:01 AM-ShutDown-Repeat YES-Every Day"}));
    NoLinkFileSystem files(nodes, Win32FileSystem().ProgramFolder(), user, &log);
    ServiceOptions options = ThreeQuickTicks();
    options.schedule = mine;
    options.user = kUser;
    const ScheduleService::MachineBeside beside{schedule, state, &adminOnly};

    EXPECT_EQ(RunConsole(options, files, clock, power, log, nullptr, &beside), 0);

    EXPECT_TRUE(power.requests.empty());
    ASSERT_EQ(log.records.size(), 1u);
    EXPECT_EQ(log.records[0].line, "3:00 AM-Reboot-Repeat YES-Every Day");
    EXPECT_EQ(log.records[0].result, "skipped");
    EXPECT_EQ(log.records[0].user, kUser);
    EXPECT_EQ(log.records[0].schedule, mine);
}

TEST_F(MachineFolder, ConsoleRunsNothingOfAFileOthersCanChange) {
    ASSERT_EQ(MakeMachineFolder(home), "");
    ASSERT_EQ(MakeMachineFolder(state), "");
    WriteWholeFile(schedule, ScheduleFileBytes({"3:00 AM-Force Reboot-Repeat YES-Every Day"}));
    // Everyone may write it: on Wine the file's mode then lets others write.
    PSECURITY_DESCRIPTOR descriptor = nullptr;
    ASSERT_TRUE(ConvertStringSecurityDescriptorToSecurityDescriptorA(
        "D:P(A;;FA;;;SY)(A;;FA;;;WD)", SDDL_REVISION_1, &descriptor, nullptr));
    UniqueLocalMemory owned(descriptor);
    ASSERT_TRUE(SetFileSecurityA(schedule.c_str(), DACL_SECURITY_INFORMATION, descriptor));
    NoLinkFileSystem files(nodes, Win32FileSystem().ProgramFolder(), home, &log);
    ServiceOptions options = ThreeQuickTicks();
    options.machine = true;
    MachineRun machine = MachinePlaces(options, home);
    machine.machine.adminOnly = &adminOnly;

    EXPECT_EQ(RunConsole(options, files, clock, power, log, &machine), 0);

    EXPECT_TRUE(power.requests.empty());
    ASSERT_EQ(log.records.size(), 1u) << "refused once, not at every tick";
    EXPECT_EQ(log.records[0].result, "refused");
    EXPECT_NE(log.records[0].message.find(schedule + ": S-1-1-0"), std::string::npos)
        << log.records[0].message;
}

// ---- Whether it may start ----

// The account it runs as and the accounts that exist, as the test says; the
// schedule's place on the real disk, walked as the service walks it.
class ServiceStart : public ::testing::Test {
  protected:
    std::string scratch = MakeScratchFolder();
    std::string folder = scratch + "\\Tolvane (start) & co";
    std::string schedule = folder + "\\rebootdata.kx";
    std::optional<std::string> runningAs = kLocalSystemSid;
    std::vector<std::string> accounts = {kUser, kOtherUser};
    Win32Identity identity{[this] { return runningAs; },
                           [this](const std::string& sid) {
                               return std::find(accounts.begin(), accounts.end(), sid) !=
                                      accounts.end();
                           }};

    ServiceStart() { CreateDirectoryA(folder.c_str(), nullptr); }
    ~ServiceStart() override { RemoveFolderTree(scratch); }

    ServiceOptions Options(Texts arguments) {
        std::string error;
        const auto options = ParseWindowsServiceArguments(arguments, error);
        EXPECT_TRUE(options) << error;
        return options.value_or(ServiceOptions{});
    }
};

// Whatever stands at the schedule's place, the service starts: its ticks
// refuse what is not a plain file (see the ServiceTicks tests).
TEST_F(ServiceStart, NeedsItsOneUsersAccountWhateverStandsAtTheSchedulesPlace) {
    const std::string other = scratch + "\\elsewhere.kx";
    {
        HANDLE file = CreateFileA(other.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        CloseHandle(file);
    }
    struct Case {
        const char* name;
        std::optional<std::string> runningAs;
        Texts arguments;
        std::function<void()> arrange;
        std::string says;  // empty: it starts
        std::string actFor = {};
    };
    const auto nothing = [] {};
    const auto plainFile = [&] {
        HANDLE file = CreateFileA(schedule.c_str(), GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS,
                                  FILE_ATTRIBUTE_NORMAL, nullptr);
        CloseHandle(file);
    };
    const Case cases[] = {
        {"the installed service",
         kLocalSystemSid,
         {"--user", kUser, "--schedule", schedule},
         plainFile,
         "",
         kUser},
        {"no schedule yet",
         kLocalSystemSid,
         {"--user", kUser, "--schedule", schedule},
         nothing,
         "",
         kUser},
        {"no user", kLocalSystemSid, {"--schedule", schedule}, plainFile, "needs --user"},
        {"LocalSystem itself",
         kLocalSystemSid,
         {"--user", kLocalSystemSid, "--schedule", schedule},
         plainFile,
         "service account"},
        {"no such account",
         kLocalSystemSid,
         {"--user", "S-1-5-21-1004336348-1177238915-682003330-4242", "--schedule", schedule},
         plainFile,
         "names no user's account"},
        {"a group",
         kLocalSystemSid,
         {"--user", "S-1-5-32-544", "--schedule", schedule},
         plainFile,
         "names no user's account"},
        {"a folder in its place",
         kLocalSystemSid,
         {"--user", kUser, "--schedule", schedule},
         [&] { CreateDirectoryA(schedule.c_str(), nullptr); },
         "",
         kUser},
        {"a second name in its place",
         kLocalSystemSid,
         {"--user", kUser, "--schedule", schedule},
         [&] { CreateHardLinkA(schedule.c_str(), other.c_str(), nullptr); },
         "",
         kUser},
        {"the user's own console",
         kUser,
         {"--console", "--schedule", schedule},
         plainFile,
         "",
         kUser},
        {"the user for another",
         kUser,
         {"--console", "--user", kOtherUser, "--schedule", schedule},
         plainFile,
         "only LocalSystem"},
        {"the account unknown", std::nullopt, {"--console"}, plainFile, "could not be read"},
    };
    for (const Case& c : cases) {
        RemoveDirectoryA(schedule.c_str());
        DeleteFileA(schedule.c_str());
        c.arrange();
        runningAs = c.runningAs;
        std::string actFor = "(untouched)";
        const std::string problem = ServiceStartProblem(Options(c.arguments), identity, actFor);
        if (c.says.empty()) {
            EXPECT_EQ(problem, "") << c.name;
            EXPECT_EQ(actFor, c.actFor) << c.name;
        } else {
            EXPECT_NE(problem.find(c.says), std::string::npos) << c.name << ": " << problem;
            EXPECT_EQ(problem.find('\n'), std::string::npos) << c.name << ": " << problem;
        }
    }
}

// A folder, then a second name, at the schedule's place: each tick walks to
// it afresh and refuses it, logged once while it lasts; once a plain file
// stands there its due line is carried out.
TEST_F(ServiceStart, TicksRefuseABadFileOnceAndCarryOutTheScheduleOnceItIsFixed) {
    Win32FileNodes nodes;
    FakeServiceLog log;
    NoLinkFileSystem files(nodes, folder, folder, &log);
    FakeClock clock;
    clock.now = FakeClock::At(2, 50);
    FakeSystemPower power;
    ScheduleService service(files, schedule, clock, power, log);
    const auto tickAt = [&](int hour, int minute) {
        clock.now = FakeClock::At(hour, minute);
        clock.monotonic += 60;
        clock.sinceBoot += 60;
        service.Tick();
    };
    const std::string other = scratch + "\\elsewhere.kx";
    const std::string due = ScheduleFileBytes({"3:00 AM-Reboot-Repeat YES-Every Day"});

    ASSERT_TRUE(CreateDirectoryA(schedule.c_str(), nullptr));
    tickAt(2, 51);
    tickAt(2, 52);
    tickAt(2, 53);
    // Each tick saw the folder: the walk's refusal and the service's word that
    // nothing is carried out, each logged once.
    ASSERT_EQ(log.errors.size(), 2u);
    EXPECT_NE(log.errors[0].find("is not a regular file"), std::string::npos) << log.errors[0];
    EXPECT_NE(log.errors[1].find("nothing in it is carried out"), std::string::npos)
        << log.errors[1];

    ASSERT_TRUE(RemoveDirectoryA(schedule.c_str()));
    WriteWholeFile(other, due);
    ASSERT_TRUE(CreateHardLinkA(schedule.c_str(), other.c_str(), nullptr));
    tickAt(2, 54);
    tickAt(2, 55);
    // The service's own word stays true (nothing is carried out): said once.
    ASSERT_EQ(log.errors.size(), 3u) << "the second name is a new refusal, logged once";
    EXPECT_NE(log.errors[2].find("2 names"), std::string::npos) << log.errors[2];
    EXPECT_TRUE(power.requests.empty());

    ASSERT_TRUE(DeleteFileA(schedule.c_str()));
    WriteWholeFile(schedule, due);
    tickAt(2, 59);
    tickAt(3, 0);
    EXPECT_EQ(power.requests, Texts{"reboot"});
    EXPECT_EQ(log.errors.size(), 3u) << log.errors.back();
}

// Under Wine every program runs as the prefix's one user, never as LocalSystem.
TEST_F(ServiceStart, TheRealIdentityIsThisProgramsUserWhoActsForItself) {
    const Win32Identity real = RealIdentity();
    const auto self = real.runningAs();
    ASSERT_TRUE(self);
    EXPECT_EQ(CanonicalSid(*self), self);
    EXPECT_TRUE(real.isUserAccount(*self)) << *self;
    for (const char* notAUser : {kLocalSystemSid, "S-1-5-32-544", "S-1-1-0",
                                 "S-1-5-21-1004336348-1177238915-682003330-4242", "S-1-x"}) {
        EXPECT_FALSE(real.isUserAccount(notAUser)) << notAUser;
    }
    std::string actFor;
    EXPECT_EQ(ServiceStartProblem(Options({"--console"}), real, actFor), "");
    EXPECT_EQ(actFor, *self);
    EXPECT_EQ(ServiceStartProblem(Options({"--user", *self, "--schedule", schedule}), real, actFor),
              "");
    EXPECT_NE(ServiceStartProblem(Options({"--schedule", schedule}), real, actFor), "");
}

}  // namespace
}  // namespace tolvane::testing
