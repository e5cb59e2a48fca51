// The services' command lines (Linux, Windows), and whose rights and
// sessions they may use.
#include <gtest/gtest.h>

#include <algorithm>

#include "service/service_arguments.h"

namespace tolvane {
namespace {

using Arguments = std::vector<std::string>;

TEST(LinuxServiceArguments, AreReadWhenExactlyRight) {
    const struct {
        Arguments arguments;
        std::string schedule;
        std::optional<std::uint32_t> user;
        int interval;
    } cases[] = {
        {{"--schedule", "/home/a/rebootdata.kx"}, "/home/a/rebootdata.kx", std::nullopt, 45},
        {{"--user", "1000", "--schedule", "/h/r.kx", "--interval", "1"}, "/h/r.kx", 1000u, 1},
        {{"--schedule", "/h b/\"50%\" $x/r.kx", "--interval", "59", "--user", "0"},
         "/h b/\"50%\" $x/r.kx",
         0u,
         59},
        {{"--schedule", "/r.kx", "--user", "4294967294"}, "/r.kx", 4294967294u, 45},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto options = ParseLinuxServiceArguments(c.arguments, error);
        ASSERT_TRUE(options) << c.arguments[1] << ": " << error;
        EXPECT_EQ(options->schedule, c.schedule);
        EXPECT_EQ(options->user, c.user);
        EXPECT_EQ(options->intervalSeconds, c.interval);
    }
}

TEST(LinuxServiceArguments, AreRefusedWithOneLineSayingWhy) {
    const struct {
        Arguments arguments;
        const char* says;
    } cases[] = {
        {{}, "--schedule is required"},
        {{"--interval", "5"}, "--schedule is required"},
        {{"--schedule"}, "--schedule needs a value"},
        {{"--schedule", "rebootdata.kx"}, "absolute path"},
        {{"--schedule", ""}, "absolute path"},
        {{"--schedule", "/"}, "absolute path"},
        {{"--schedule", "/home/a/"}, "absolute path"},
        {{"--schedule", "/a", "--schedule", "/b"}, "once"},
        {{"--schedule", "/a", "--interval", "0"}, "1 to 59"},
        {{"--schedule", "/a", "--interval", "60"}, "1 to 59"},
        {{"--schedule", "/a", "--interval", "2147484"}, "1 to 59"},
        {{"--schedule", "/a", "--interval", "99999999999999999999"}, "1 to 59"},
        {{"--schedule", "/a", "--interval", "-5"}, "1 to 59"},
        {{"--schedule", "/a", "--interval", "+5"}, "1 to 59"},
        {{"--schedule", "/a", "--interval", " 5"}, "1 to 59"},
        {{"--schedule", "/a", "--interval", "5s"}, "1 to 59"},
        {{"--schedule", "/a", "--interval", "0.5"}, "1 to 59"},
        {{"--schedule", "/a", "--user", "alice"}, "user's number"},
        {{"--schedule", "/a", "--user", "-1"}, "user's number"},
        {{"--schedule", "/a", "--user", "4294967295"}, "user's number"},
        {{"--schedule", "/a", "--user", "4294967296"}, "user's number"},
        {{"--schedule", "/a", "--user", "1", "--user", "1"}, "once"},
        {{"--schedule", "/a", "--ticks", "3"}, "unknown argument: --ticks"},
        {{"/a"}, "unknown argument: /a"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseLinuxServiceArguments(c.arguments, error)) << c.says;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(LinuxServiceArguments, MachineTakesItsDefaultsOrTheFilesGivenAndNoUser) {
    const struct {
        Arguments arguments;
        bool machine;
        std::string schedule;
        std::string state;
    } cases[] = {
        {{"--machine"}, true, "/etc/tolvane/rebootdata.kx", "/var/lib/tolvane"},
        {{"--machine", "--machine", "--interval", "1"},
         true,
         "/etc/tolvane/rebootdata.kx",
         "/var/lib/tolvane"},
        {{"--state", "/srv/t/state", "--machine"},
         true,
         "/etc/tolvane/rebootdata.kx",
         "/srv/t/state"},
        {{"--machine", "--schedule", "/srv/t/m.kx", "--state", "/srv/t/s"},
         true,
         "/srv/t/m.kx",
         "/srv/t/s"},
        // A user's schedule has no state folder of its own.
        {{"--schedule", "/h/r.kx"}, false, "/h/r.kx", ""},
    };
    for (const auto& c : cases) {
        std::string error;
        const auto options = ParseLinuxServiceArguments(c.arguments, error);
        ASSERT_TRUE(options) << c.arguments[0] << ": " << error;
        EXPECT_EQ(options->machine, c.machine) << c.arguments[0];
        EXPECT_EQ(options->schedule, c.schedule) << c.arguments[0];
        EXPECT_EQ(options->state, c.state) << c.arguments[0];
        EXPECT_FALSE(options->user) << c.arguments[0];
    }

    const struct {
        Arguments arguments;
        std::string says;
    } refused[] = {
        {{"--state", "/s"}, "--state goes with --machine"},
        {{"--schedule", "/a", "--state", "/s"}, "--state goes with --machine"},
        {{"--machine", "--user", "1000"}, "--machine acts for every user: no --user"},
        {{"--user", "0", "--machine"}, "--machine acts for every user: no --user"},
        {{"--machine", "--state"}, "--state needs a value"},
        {{"--machine", "--state", "state"},
         "--state needs a folder's absolute path, once: \"state\""},
        {{"--machine", "--state", ""}, "--state needs a folder's absolute path, once: \"\""},
        {{"--machine", "--state", "/s/"}, "--state needs a folder's absolute path, once: \"/s/\""},
        {{"--machine", "--state", "/a", "--state", "/a"},
         "--state needs a folder's absolute path, once: \"/a\""},
        {{"--machine", "--schedule", "m.kx"},
         "--schedule needs the schedule file's absolute path, once: \"m.kx\""},
        {{"--machine", "--check", "m.kx"}, "--check FILE goes alone"},
    };
    for (const auto& c : refused) {
        std::string error;
        EXPECT_FALSE(ParseLinuxServiceArguments(c.arguments, error)) << c.says;
        EXPECT_EQ(error, c.says);
    }
}

TEST(ServiceUser, OnlyRootRunsTheMachinesSchedule) {
    EXPECT_EQ(MachineServiceProblem(0), "");
    for (const std::uint32_t user : {1u, 1000u, 65534u}) {
        const std::string problem = MachineServiceProblem(user);
        EXPECT_NE(problem.find("only root"), std::string::npos) << problem;
        EXPECT_NE(problem.find(std::to_string(user)), std::string::npos) << problem;
    }
}

// --check FILE on both programs: any path the shell names, and nothing else
// beside it (but --help, which asks for the usage alone).
struct CheckCase {
    Arguments arguments;
    std::optional<std::string> check;  // nothing: refused
    const char* says;
};
const CheckCase kCheckCases[] = {
    {{"--check", "rebootdata.kx"}, "rebootdata.kx", ""},
    {{"--check", "../a b/\"50%\" $x.kx"}, "../a b/\"50%\" $x.kx", ""},
    {{"--check", "-"}, "-", ""},
    {{"--check", "--user"}, "--user", ""},  // the value, whatever it looks like
    {{"--check"}, std::nullopt, "--check needs"},
    {{"--check", ""}, std::nullopt, "--check needs"},
    {{"--check", "a", "--check", "b"}, std::nullopt, "once"},
    {{"--check", "a", "--schedule", "/a"}, std::nullopt, "--check FILE goes alone"},
    {{"--schedule", "/a", "--check", "a"}, std::nullopt, "--check FILE goes alone"},
    {{"--check", "a", "--interval", "5"}, std::nullopt, "--check FILE goes alone"},
    {{"--user", "1000", "--check", "a"}, std::nullopt, "--check FILE goes alone"},
    {{"--check", "a", "b"}, std::nullopt, "nknown argument: b"},
};

TEST(LinuxServiceArguments, TakeCheckAlone) {
    for (const CheckCase& c : kCheckCases) {
        std::string error;
        const auto options = ParseLinuxServiceArguments(c.arguments, error);
        ASSERT_EQ(options.has_value(), c.check.has_value()) << c.arguments[0] << ": " << error;
        if (options) {
            EXPECT_EQ(options->check, c.check);
            EXPECT_TRUE(options->schedule.empty());
        } else {
            EXPECT_NE(error.find(c.says), std::string::npos) << error;
        }
    }
    std::string error;
    EXPECT_TRUE(ParseLinuxServiceArguments({"--check", "a", "--help"}, error)->help);
    EXPECT_FALSE(ParseLinuxServiceArguments({"--schedule", "/a"}, error)->check);
}

TEST(ServiceUser, RootActsOnlyForTheUserNamedAndNobodyElseForAnother) {
    const struct {
        std::uint32_t runningAs;
        std::optional<std::uint32_t> user;
        bool runs;
    } cases[] = {
        {0, 1000u, true},
        {0, std::nullopt, false},  // root's own rights for the user's files
        {0, 0u, false},
        {1000, std::nullopt, true},  // a user's own service, for tests or by hand
        {1000, 1000u, true},
        {1000, 1001u, false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(ServiceUserProblem(c.runningAs, c.user).empty(), c.runs)
            << c.runningAs << " for " << c.user.value_or(4242);
    }
}

// ---- Windows ----

const std::string kAnn = "S-1-5-21-1004336348-1177238915-682003330-1001";
const std::string kBob = "S-1-5-21-1004336348-1177238915-682003330-1002";

TEST(CanonicalSid, IsTheSidAsWindowsWritesItOrNothing) {
    const struct {
        const char* text;
        std::optional<std::string> sid;
    } cases[] = {
        {"S-1-5-21-1004336348-1177238915-682003330-1001", kAnn},
        {"s-1-5-21-01004336348-1177238915-682003330-1001", kAnn},
        {"S-1-5-18", "S-1-5-18"},
        {"S-1-12-1-1-2-3-4", "S-1-12-1-1-2-3-4"},  // an Azure AD account
        {"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15", "S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15"},
        {"S-1-5-1-2-3-4-5-6-7-8-9-10-11-12-13-14-15-16", std::nullopt},  // 16 sub-authorities
        {"S-1-5", std::nullopt},
        {"S-1", std::nullopt},
        {"S-2-5-21", std::nullopt},
        {"S-1-5-21-x", std::nullopt},
        {"S-1-5--21", std::nullopt},
        {"S-1-5-21-", std::nullopt},
        {"S-1-5-4294967296", std::nullopt},
        {"S-1-5-+4", std::nullopt},
        {" S-1-5-18", std::nullopt},
        {"S-1-5-18 ", std::nullopt},
        {"S-1-5-18\" --schedule \"C:\\x", std::nullopt},
        {"Ann", std::nullopt},
        {"", std::nullopt},
    };
    for (const auto& c : cases) EXPECT_EQ(CanonicalSid(c.text), c.sid) << c.text;
}

TEST(WindowsServiceArguments, TakeOneUserAndOneFullScheduleAndTheConsolesOptions) {
    std::string error;
    auto options =
        ParseWindowsServiceArguments({"--user", "s-1-5-21-1004336348-1177238915-682003330-01001",
                                      "--schedule", "C:\\Users\\A B\\rebootdata.kx"},
                                     error);
    ASSERT_TRUE(options) << error;
    EXPECT_EQ(options->user, kAnn);
    EXPECT_EQ(options->schedule, "C:\\Users\\A B\\rebootdata.kx");
    EXPECT_FALSE(options->console);

    options = ParseWindowsServiceArguments(
        {"--console", "--ticks", "2", "--interval", "0.05", "--user", kAnn}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->console);
    EXPECT_EQ(options->ticks, 2);
    EXPECT_DOUBLE_EQ(options->intervalSeconds, 0.05);
    EXPECT_EQ(options->user, kAnn);

    options = ParseWindowsServiceArguments({"--print-user"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->printUser);
    EXPECT_FALSE(options->user);

    // The setup verbs, each read as itself and nothing else.
    options = ParseWindowsServiceArguments(
        {"--schedule", "C:\\Users\\A B\\rebootdata.kx", "--install", "--user", kAnn}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->install);
    EXPECT_FALSE(options->remove || options->canInstall || options->console);
    EXPECT_EQ(options->user, kAnn);
    EXPECT_EQ(options->schedule, "C:\\Users\\A B\\rebootdata.kx");
    const std::pair<const char*, bool ServiceOptions::*> alone[] = {
        {"--remove", &ServiceOptions::remove},
        {"--can-install", &ServiceOptions::canInstall},
        {"--print-schedule", &ServiceOptions::printSchedule},
    };
    for (const auto& [name, flag] : alone) {
        options = ParseWindowsServiceArguments({name}, error);
        ASSERT_TRUE(options) << name << ": " << error;
        EXPECT_TRUE((*options).*flag) << name;
        EXPECT_FALSE(options->install || options->printUser) << name;
    }
}

TEST(WindowsServiceArguments, AreRefusedWithOneLineSayingWhy) {
    const struct {
        Arguments arguments;
        const char* says;
    } cases[] = {
        {{"--user"}, "--user needs the user's security identifier"},
        {{"--user", "Ann"}, "--user needs the user's security identifier"},
        {{"--user", "S-1-5"}, "--user needs the user's security identifier"},
        {{"--user", kAnn, "--user", kAnn}, "once"},
        {{"--user", kAnn + " --schedule C:\\x"}, "--user needs"},
        {{"--print-user", "--console"}, "--print-user goes alone"},
        {{"--user", kAnn, "--print-user"}, "--print-user goes alone"},
        {{"--remove", "--user", kAnn}, "--remove goes alone"},
        {{"--console", "--remove"}, "--remove goes alone"},
        {{"--can-install", "--install"}, "--can-install goes alone"},
        {{"--print-schedule", "--console"}, "--print-schedule goes alone"},
        {{"--install"}, "--install needs --user SID and --schedule FILE"},
        {{"--install", "--user", kAnn}, "--install needs --user SID and --schedule FILE"},
        {{"--install", "--schedule", "C:\\x\\rebootdata.kx"}, "--install needs"},
        {{"--install", "--console", "--user", kAnn, "--schedule", "C:\\x\\rebootdata.kx"},
         "--install needs"},
        {{"--install", "--user", kAnn, "--schedule", "rebootdata.kx"}, "full path"},
        {{"--install", "--user", "S-1-5-21-1 --schedule", "--schedule", "C:\\x\\r.kx"},
         "--user needs"},
        {{"--install", "--install", "--user", kAnn, "--schedule", "C:\\x\\rebootdata.kx"},
         "--install needs"},
        {{"--schedule", "\\\\?\\C:\\Tolvane\\rebootdata.kx"}, "full path"},
        {{"--schedule", "\\\\.\\pipe\\tolvane"}, "full path"},
        {{"--schedule", "\\\\?"}, "full path"},
        {{"--console", "--interval", " 5"}, "0.01 to 45"},
        {{"--console", "--interval", "+5"}, "0.01 to 45"},
        {{"--console", "--interval", "-1"}, "0.01 to 45"},
        {{"--console", "--interval", "inf"}, "0.01 to 45"},
        {{"--console", "--ticks", "+2"}, "whole number"},
        {{"--interval", "5"}, "go with --console"},
        {{"--User", kAnn}, "Unknown argument: --User"},
    };
    for (const auto& c : cases) {
        std::string error;
        EXPECT_FALSE(ParseWindowsServiceArguments(c.arguments, error)) << c.says;
        EXPECT_NE(error.find(c.says), std::string::npos) << error;
        EXPECT_EQ(error.find('\n'), std::string::npos) << error;
    }
}

TEST(WindowsServiceArguments, AreReadOrRefused) {
    struct Case {
        Arguments arguments;
        bool accepted;
        bool console = false;
        int ticks = 0;
        double interval = 0;
        std::string schedule = {};
    };
    const Case cases[] = {
        {{}, true, false, 0, 45.0},
        {{"--console"}, true, true, 0, 45.0},
        {{"--console", "--ticks", "3"}, true, true, 3, 45.0},
        {{"--interval", "0.5", "--console"}, true, true, 0, 0.5},
        {{"--console", "--interval", "45"}, true, true, 0, 45.0},
        {{"--console", "--interval", "46"}, false},
        {{"--console", "--interval", "0"}, false},
        {{"--console", "--interval", "nan"}, false},
        {{"--console", "--ticks", "0"}, false},
        {{"--console", "--ticks", "-2"}, false},
        {{"--console", "--ticks", "2x"}, false},
        {{"--console", "--ticks"}, false},
        {{"--ticks", "2"}, false},  // only with --console
        {{"--interval", "1"}, false},
        {{"--start"}, false},
        {{"console"}, false},
        // The schedule's full path, in either mode.
        {{"--schedule", "C:\\Users\\A B\\AppData\\Local\\Programs\\Tolvane\\rebootdata.kx"},
         true,
         false,
         0,
         45.0,
         "C:\\Users\\A B\\AppData\\Local\\Programs\\Tolvane\\rebootdata.kx"},
        {{"--console", "--schedule", "d:/x (1) & y/my.kx", "--ticks", "2"},
         true,
         true,
         2,
         45.0,
         "d:/x (1) & y/my.kx"},
        {{"--schedule", "\\\\server\\share\\rebootdata.kx"},
         true,
         false,
         0,
         45.0,
         "\\\\server\\share\\rebootdata.kx"},
        // Relative to the working folder, the current drive or a drive's
        // current folder; a folder; nothing; twice.
        {{"--schedule", "rebootdata.kx"}, false},
        {{"--schedule", "Tolvane\\rebootdata.kx"}, false},
        {{"--schedule", ".\\rebootdata.kx"}, false},
        {{"--schedule", "\\Tolvane\\rebootdata.kx"}, false},
        {{"--schedule", "C:rebootdata.kx"}, false},
        {{"--schedule", "C:\\Tolvane\\"}, false},
        {{"--schedule", "C:\\"}, false},
        {{"--schedule", "\\\\"}, false},
        {{"--schedule", ""}, false},
        {{"--console", "--schedule"}, false},
        {{"--schedule", "C:\\a.kx", "--schedule", "C:\\b.kx"}, false},
    };
    for (const Case& c : cases) {
        std::string joined;
        for (const auto& a : c.arguments) joined += a + " ";
        std::string error;
        const auto options = ParseWindowsServiceArguments(c.arguments, error);
        ASSERT_EQ(options.has_value(), c.accepted) << joined;
        if (!options) {
            EXPECT_FALSE(error.empty()) << joined;
            continue;
        }
        EXPECT_EQ(options->console, c.console) << joined;
        EXPECT_EQ(options->ticks, c.ticks) << joined;
        EXPECT_DOUBLE_EQ(options->intervalSeconds, c.interval) << joined;
        EXPECT_EQ(options->schedule, c.schedule) << joined;
    }
    std::string error;
    EXPECT_TRUE(ParseWindowsServiceArguments({"--help"}, error)->help);
    EXPECT_TRUE(ParseWindowsServiceArguments({"/?"}, error)->help);
}

TEST(WindowsServiceArguments, MachineTakesItsFilesOrLeavesThemToTheDefaultsAndNeverAUser) {
    const struct {
        Arguments arguments;
        bool install, remove, console;
        std::string schedule, state;
    } taken[] = {
        {{"--machine"}, false, false, false, "", ""},
        {{"--console", "--machine", "--ticks", "2", "--interval", "0.01"}, false, false, true, "", ""},
        {{"--machine", "--console", "--schedule", "C:\\T\\m.kx", "--state", "C:\\T\\s"},
         false, false, true, "C:\\T\\m.kx", "C:\\T\\s"},
        {{"--machine", "--state", "D:\\s"}, false, false, false, "", "D:\\s"},
        {{"--install", "--machine"}, true, false, false, "", ""},
        {{"--machine", "--remove"}, false, true, false, "", ""},
    };
    for (const auto& c : taken) {
        std::string error;
        const auto options = ParseWindowsServiceArguments(c.arguments, error);
        ASSERT_TRUE(options) << c.arguments[0] << ": " << error;
        EXPECT_TRUE(options->machine);
        EXPECT_EQ(options->install, c.install) << c.arguments[0];
        EXPECT_EQ(options->remove, c.remove) << c.arguments[0];
        EXPECT_EQ(options->console, c.console) << c.arguments[0];
        EXPECT_EQ(options->schedule, c.schedule) << c.arguments[0];
        EXPECT_EQ(options->state, c.state) << c.arguments[0];
        EXPECT_FALSE(options->user);
    }
    const struct {
        Arguments arguments;
        std::string says;
    } refused[] = {
        {{"--machine", "--user", kAnn}, "--machine acts for every user: no --user."},
        {{"--console", "--state", "C:\\s"}, "--state goes with --machine."},
        {{"--machine", "--state", "state"},
         "--state needs the full path of the machine's state folder, once, not \"state\"."},
        {{"--machine", "--state", "C:\\s\\"},
         "--state needs the full path of the machine's state folder, once, not \"C:\\s\\\"."},
        {{"--machine", "--state", "C:\\a", "--state", "C:\\a"},
         "--state needs the full path of the machine's state folder, once."},
        {{"--machine", "--state"}, "--state needs the full path of the machine's state folder, once."},
        // The machine's service is installed with its defaults alone.
        {{"--install", "--machine", "--schedule", "C:\\T\\m.kx"},
         "--install needs --user SID and --schedule FILE, or --machine, and nothing else."},
        {{"--install", "--machine", "--user", kAnn, "--schedule", "C:\\T\\m.kx"},
         "--install needs --user SID and --schedule FILE, or --machine, and nothing else."},
        {{"--remove", "--machine", "--console"}, "--remove goes alone, or with --machine."},
        {{"--remove", "--state", "C:\\s"}, "--remove goes alone, or with --machine."},
    };
    for (const auto& c : refused) {
        std::string error;
        EXPECT_FALSE(ParseWindowsServiceArguments(c.arguments, error)) << c.says;
        EXPECT_EQ(error, c.says);
    }
}

TEST(IsFullWindowsPath, NamesTheSameFileFromAnyWorkingFolderAndNoDevice) {
    const std::pair<const char*, bool> cases[] = {
        {"C:\\Tolvane\\rebootdata.kx", true},
        {"d:/x/rebootdata.kx", true},
        {"\\\\server\\share\\rebootdata.kx", true},
        {"\\\\?\\C:\\Tolvane\\rebootdata.kx", false},
        {"\\\\.\\C:\\Tolvane\\rebootdata.kx", false},
        {"//?/C:/Tolvane/rebootdata.kx", false},
        {"\\\\.", false},
        {"\\Tolvane\\rebootdata.kx", false},
        {"C:rebootdata.kx", false},
        {"rebootdata.kx", false},
    };
    for (const auto& [path, full] : cases) EXPECT_EQ(IsFullWindowsPath(path), full) << path;
}

WindowsServiceOptions Options(bool console, std::optional<std::string> user,
                              std::string schedule = "C:\\Users\\Ann\\rebootdata.kx") {
    WindowsServiceOptions options;
    options.console = console;
    options.user = std::move(user);
    options.schedule = std::move(schedule);
    return options;
}

WindowsServiceOptions Machine(bool console) {
    WindowsServiceOptions options;
    options.console = console;
    options.machine = true;
    return options;
}

TEST(WindowsServiceStart, LocalSystemActsOnlyForTheUserNamedAndNobodyElseForAnother) {
    constexpr bool kService = false;
    constexpr bool kConsole = true;
    const struct {
        std::string runningAs;
        WindowsServiceOptions options;
        std::string says;  // empty: it may start
    } cases[] = {
        {kLocalSystemSid, Options(kService, kAnn), ""},
        {"s-1-5-18", Options(kService, kAnn), ""},
        {kLocalSystemSid, Options(kConsole, kAnn, ""), ""},
        {kLocalSystemSid, Options(kService, std::nullopt), "needs --user"},
        {kLocalSystemSid, Options(kConsole, std::nullopt), "needs --user"},
        {"s-1-5-18", Options(kConsole, std::nullopt), "needs --user"},
        {kLocalSystemSid, Options(kService, kLocalSystemSid), "service account"},
        {kLocalSystemSid, Options(kService, "S-1-5-19"), "service account"},
        {kLocalSystemSid, Options(kService, "S-1-5-20"), "service account"},
        {kLocalSystemSid, Options(kService, kAnn, ""), "needs --schedule"},
        // Another account: only for itself, and an installed service names it.
        {kAnn, Options(kService, kAnn), ""},
        {kAnn, Options(kConsole, std::nullopt, ""), ""},
        {kAnn, Options(kConsole, kAnn), ""},
        {kAnn, Options(kService, std::nullopt), "needs --user"},
        {kAnn, Options(kService, kBob), "only LocalSystem can act for user " + kBob},
        {kAnn, Options(kConsole, kBob), "only LocalSystem"},
        {"S-1-5-19", Options(kService, kAnn), "only LocalSystem"},
        {kAnn, Options(kService, kLocalSystemSid), "service account"},
        // The machine's schedule: for any account, with that account's rights.
        {kLocalSystemSid, Machine(kService), ""},
        {kLocalSystemSid, Machine(kConsole), ""},
        {kAnn, Machine(kConsole), ""},
        {kAnn, Machine(kService), ""},
    };
    for (const auto& c : cases) {
        const std::string problem = WindowsServiceStartProblem(c.runningAs, c.options);
        const std::string what = c.runningAs + " for " + c.options.user.value_or("nobody") +
                                 (c.options.console ? " in the console" : " as the service");
        if (c.says.empty()) {
            EXPECT_EQ(problem, "") << what;
        } else {
            EXPECT_NE(problem.find(c.says), std::string::npos) << what << ": " << problem;
            EXPECT_EQ(problem.find('\n'), std::string::npos) << problem;
        }
    }
}

// One walk reads both programs' command lines: what one asks for is read the
// same way by the other, where it takes that option.
TEST(ServiceArguments, HelpAmongArgumentsTheProgramTakesAsksForTheUsageAlone) {
    const Arguments linuxHelp[] = {
        {"--help"},
        {"--schedule", "/a", "--help"},
        {"--help", "--interval", "5"},  // no --schedule needed
        {"--help", "--version"},
    };
    for (const auto& arguments : linuxHelp) {
        std::string error;
        const auto options = ParseLinuxServiceArguments(arguments, error);
        ASSERT_TRUE(options) << arguments.size() << ": " << error;
        EXPECT_TRUE(options->help);
    }
    std::string error;
    auto version = ParseLinuxServiceArguments({"--version"}, error);
    ASSERT_TRUE(version) << error;
    EXPECT_TRUE(version->version);
    EXPECT_FALSE(version->help);
    version = ParseLinuxServiceArguments({"--user", "1000", "--version"}, error);
    ASSERT_TRUE(version) << error;
    EXPECT_TRUE(version->version);

    const Arguments windowsHelp[] = {
        {"--help"},
        {"/?"},
        {"--console", "--help"},
        {"--help", "--interval", "5"},  // without --console
        {"--print-user", "/?"},         // not alone
    };
    for (const auto& arguments : windowsHelp) {
        const auto options = ParseWindowsServiceArguments(arguments, error);
        ASSERT_TRUE(options) << arguments.size() << ": " << error;
        EXPECT_TRUE(options->help);
    }

    // Every argument is still one the program takes, with a value it takes.
    EXPECT_FALSE(ParseLinuxServiceArguments({"--help", "--console"}, error));
    EXPECT_EQ(error, "unknown argument: --console");
    EXPECT_FALSE(ParseLinuxServiceArguments({"--help", "/?"}, error));
    EXPECT_EQ(error, "unknown argument: /?");
    EXPECT_FALSE(ParseLinuxServiceArguments({"--help", "--interval", "0"}, error));
    EXPECT_NE(error.find("1 to 59"), std::string::npos) << error;
    EXPECT_FALSE(ParseWindowsServiceArguments({"/?", "--version"}, error));
    EXPECT_EQ(error, "Unknown argument: --version");
    EXPECT_FALSE(ParseWindowsServiceArguments({"--help", "--ticks", "0"}, error));
    EXPECT_EQ(error, "--ticks needs a whole number of at least 1.");
}

TEST(ServiceArguments, AnOptionWithAValueIsTakenOnceAFlagAsOftenAsSaid) {
    const struct {
        Arguments arguments;
        std::string says;
    } linuxRefused[] = {
        {{"--schedule", "/a", "--schedule", "/a"},
         "--schedule needs the schedule file's absolute path, once: \"/a\""},
        {{"--schedule", "/a", "--user", "7", "--user", "7"},
         "--user needs a user's number (uid), once: \"7\""},
        {{"--schedule", "/a", "--interval", "5", "--interval", "5"},
         "--interval needs whole seconds from 1 to 59, once: \"5\""},
        {{"--schedule", "/a", "--interval", "5", "--interval"}, "--interval needs a value"},
    };
    for (const auto& c : linuxRefused) {
        std::string error;
        EXPECT_FALSE(ParseLinuxServiceArguments(c.arguments, error)) << c.says;
        EXPECT_EQ(error, c.says);
    }
    const struct {
        Arguments arguments;
        std::string says;
    } windowsRefused[] = {
        {{"--schedule", "C:\\a.kx", "--schedule", "C:\\a.kx"},
         "--schedule needs the schedule file's full path, once."},
        {{"--user", kAnn, "--user", kAnn},
         "--user needs the user's security identifier (S-1-5-21-...), once: \"" + kAnn + "\"."},
        {{"--console", "--interval", "1", "--interval", "1"},
         "--interval needs a number of seconds from 0.01 to 45."},
        {{"--console", "--ticks", "2", "--ticks", "3"},
         "--ticks needs a whole number of at least 1."},
        {{"--console", "--user"},
         "--user needs the user's security identifier (S-1-5-21-...), once."},
    };
    for (const auto& c : windowsRefused) {
        std::string error;
        EXPECT_FALSE(ParseWindowsServiceArguments(c.arguments, error)) << c.says;
        EXPECT_EQ(error, c.says);
    }
    std::string error;
    const auto options =
        ParseWindowsServiceArguments({"--console", "--console", "--ticks", "1"}, error);
    ASSERT_TRUE(options) << error;
    EXPECT_TRUE(options->console);
}

TEST(WindowsServiceArguments, TakeCheckAlone) {
    // Beside the cases both programs share, the Windows program's own options.
    std::vector<CheckCase> cases(std::begin(kCheckCases), std::end(kCheckCases));
    cases.erase(std::remove_if(cases.begin(), cases.end(),
                               [](const CheckCase& c) {
                                   return std::find(c.arguments.begin(), c.arguments.end(), "/a") !=
                                              c.arguments.end() ||
                                          std::find(c.arguments.begin(), c.arguments.end(),
                                                    "1000") != c.arguments.end();
                               }),
                cases.end());
    const CheckCase windows[] = {
        {{"--check", "C:\\x y\\rebootdata.kx"}, "C:\\x y\\rebootdata.kx", ""},
        {{"--check", "a", "--console"}, std::nullopt, "--check FILE goes alone"},
        {{"--check", "a", "--user", kAnn}, std::nullopt, "--check FILE goes alone"},
        {{"--install", "--check", "a"}, std::nullopt, "goes alone"},
        {{"--check", "a", "--remove"}, std::nullopt, "goes alone"},
    };
    cases.insert(cases.end(), std::begin(windows), std::end(windows));
    for (const CheckCase& c : cases) {
        std::string error;
        const auto options = ParseWindowsServiceArguments(c.arguments, error);
        ASSERT_EQ(options.has_value(), c.check.has_value()) << c.arguments[0] << ": " << error;
        if (options) {
            EXPECT_EQ(options->check, c.check);
            EXPECT_FALSE(options->console || options->install || options->user);
        } else {
            EXPECT_NE(error.find(c.says), std::string::npos) << error;
        }
    }
    std::string error;
    EXPECT_TRUE(ParseWindowsServiceArguments({"/?", "--check", "a"}, error)->help);
    EXPECT_FALSE(ParseWindowsServiceArguments({"--console"}, error)->check);
}

}  // namespace
}  // namespace tolvane
