// The Linux service's command line, and whose rights it may use.
#include <gtest/gtest.h>

#include "schedule/service_arguments.h"

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

}  // namespace
}  // namespace tolvane
