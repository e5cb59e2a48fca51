#include "service/schedule_check_command.h"

#include <gtest/gtest.h>

#include "fakes/fake_file_system.h"

namespace tolvane::testing {
namespace {

constexpr const char* kPath = "C:\\ProgramData\\Tolvane\\rebootdata.kx";
const std::string kGood = "7:05 AM-ShutDown-Repeat YES-Monday\r\n";
const std::string kBad = "13:00 PM-Reboot-Repeat NO-Every Day\r\n";

TEST(CheckScheduleFile, ExitsWithWhatConfigurationToolsTestAndSaysWhy) {
    const std::size_t limit = 4 * 1024 * 1024;
    struct Case {
        const char* name;
        std::optional<std::string> file;  // nothing: no file at the path
        bool unreadable;
        int exitStatus;
        std::string report;
        std::string problem;
    };
    const Case cases[] = {
        {"every line runs", kGood + kGood + "\r\n", false, 0,
         std::string(kPath) + ": 2 lines, every one can run.\n", ""},
        {"an empty schedule", "\r\n", false, 0,
         std::string(kPath) + ": no lines, nothing to run.\n", ""},
        {"an empty file", "", false, 0, std::string(kPath) + ": no lines, nothing to run.\n", ""},
        {"a line that never runs", kGood + kBad + kGood, false, 1,
         "line 2: no such hour: \"13\" (1 to 12, no leading zero): "
         "13:00 PM-Reboot-Repeat NO-Every Day\n" +
             std::string(kPath) + ": 1 line of 3 can never run.\n",
         ""},
        {"a last line the service never reads", kGood + "7:05 AM-Reboot-Repeat YES-Monday", false,
         1,
         "line 2: never read: no CR LF ends it, and only lines ended by CR LF are read: "
         "7:05 AM-Reboot-Repeat YES-Monday\n" +
             std::string(kPath) + ": 1 line of 2 can never run.\n",
         ""},
        {"as large as the service reads", std::string(limit - kGood.size(), ' ') + kGood, false, 0,
         std::string(kPath) + ": 1 line, every one can run.\n", ""},
        {"larger than the service reads", std::string(limit + 1 - kGood.size(), ' ') + kGood, false,
         2, "", std::string(kPath) + " is larger than 4 MiB, which the service never reads.\n"},
        {"no file", std::nullopt, false, 2, "",
         "There is no schedule file at " + std::string(kPath) + ".\n"},
        {"a file that cannot be read", kGood, true, 2, "",
         std::string(kPath) + " cannot be read: It is no regular file that can be read.\n"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileSystem files;
        if (c.file) files.files[kPath] = *c.file;
        files.failRead = c.unreadable;
        const ScheduleCheckOutcome outcome = CheckScheduleFile(files, kPath, LogBytes::Utf8);
        EXPECT_EQ(outcome.exitStatus, c.exitStatus);
        EXPECT_EQ(outcome.report, c.report);
        EXPECT_EQ(outcome.problem, c.problem);
    }
}

TEST(CheckScheduleFile, ShowsAPathOnlyAsText) {
    FakeFileSystem files;
    const std::string path = "/tmp/\x1b[2J\r\n<0>evil.kx";
    const ScheduleCheckOutcome missing = CheckScheduleFile(files, path, LogBytes::Utf8);
    EXPECT_EQ(missing.problem, "There is no schedule file at /tmp/\\x1b[2J\\r\\n<0>evil.kx.\n");
}

}  // namespace
}  // namespace tolvane::testing
