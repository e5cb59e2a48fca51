#include "schedule/schedule_check.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

#include "schedule/due_lines.h"
#include "schedule/schedule_file.h"
#include "schedule/text.h"

namespace tolvane::testing {
namespace {

using namespace std::string_literals;

// Every minute of a week: a line that is due at none of them is never due.
std::vector<LocalTime> EveryMinuteOfAWeek() {
    std::vector<LocalTime> minutes;
    for (int w = 0; w < 7; ++w) {
        for (int h = 0; h < 24; ++h) {
            for (int m = 0; m < 60; ++m)
                minutes.push_back(LocalTime::Of(2026, 12, 6 + w, w, h, m, 0));
        }
    }
    return minutes;
}

// What the service does with a file: its reader's lines, and whether each
// one, at some minute of the week, is due and names an action.
std::map<std::string, bool> WhatTheServiceRuns(std::string_view bytes) {
    static const std::vector<LocalTime> week = EveryMinuteOfAWeek();
    std::map<std::string, bool> runs;
    for (const std::string& line : ScheduleFileLines(bytes)) {
        DueLineWalk walk(week);
        const std::optional<DueLine> due = walk.Check(line);
        runs[line] = due && due->action;
    }
    return runs;
}

// The check reports a line the service reads exactly when the service can
// never carry it out.
void ExpectAgreement(std::string_view bytes) {
    std::set<std::string> reported;
    for (const LineProblem& problem : CheckScheduleLines(bytes)) {
        if (problem.read) reported.insert(problem.line);
    }
    for (const auto& [line, runs] : WhatTheServiceRuns(bytes)) {
        EXPECT_NE(reported.count(line) != 0, runs) << "line: " << ::testing::PrintToString(line);
    }
}

struct LineCase {
    std::string line;
    bool runs;
    const char* why;  // a part of the reason given, when the line cannot run
};

const LineCase kLines[] = {
    // The forms a line is written in.
    {"10:30 PM-Force Reboot-Repeat NO-Every Day", true, ""},
    {"7:05 AM-ShutDown-Repeat YES-Monday", true, ""},
    {"12:00 AM-LockWorkStation-Repeat YES-Saturday", true, ""},
    {"3:45 PM-Force LogOff-Repeat YES-Friday", true, ""},
    {"12:59 PM-Force LockWorkStation-Repeat NO-sunday", true, ""},
    {"11:59 PM-reboot-whatever-EVERY DAY", true, ""},
    {"1:00 AM-ShutDown-Repeat YES-Monday-Friday", true, ""},  // the fifth piece is ignored
    {"1:00 AM extra:parts-Reboot-Repeat YES-Every Day", true, ""},
    {"1:00 AM-please reboot now-Repeat YES-Every Day", true, ""},
    // No such hour, minute or half-day.
    {"13:00 PM-Reboot-Repeat YES-Every Day", false, "no such hour: \"13\""},
    {"0:00 AM-Reboot-Repeat YES-Every Day", false, "no such hour: \"0\""},
    {"07:05 AM-Reboot-Repeat YES-Every Day", false, "no such hour: \"07\""},
    {"99999999999999999999:00 AM-Reboot-Repeat YES-Every Day", false, "no such hour"},
    {"-1:00 AM-Reboot-Repeat YES-Every Day", false, "no hour"},
    {"12:60 PM-Reboot-Repeat YES-Every Day", false, "no such minute: \"60\""},
    {"7:5 AM-Reboot-Repeat YES-Every Day", false, "no such minute: \"5\""},
    {"7:005 AM-Reboot-Repeat YES-Every Day", false, "no such minute"},
    {"7:05 pm-Reboot-Repeat YES-Every Day", false, "no such AM/PM: \"pm\""},
    {"7:05 P.M.-Reboot-Repeat YES-Every Day", false, "no such AM/PM"},
    {"7:05  PM-Reboot-Repeat YES-Every Day", false, "no AM/PM"},  // two spaces: an empty part
    {"7:05PM-Reboot-Repeat YES-Every Day", false, "no AM/PM"},
    {"7.05 PM-Reboot-Repeat YES-Every Day", false, "no such hour"},
    {": -Reboot-Repeat NO-Every Day", false, "no hour"},
    // No such day.
    {"7:05 AM-Reboot-Repeat YES-Mon", false, "no such day: \"Mon\""},
    {"7:05 AM-Reboot-Repeat YES-Everyday", false, "no such day"},
    {"7:05 AM-Reboot-Repeat YES-Mon-Fri", false, "no such day: \"Mon\""},
    {"7:05 AM-Reboot-Repeat YES-Monday ", true, ""},  // the reader trims the line's end
    {"7:05 AM-Reboot-Repeat YES-Monday -x", false, "no such day: \"Monday \""},
    {"7:05 AM-Reboot-Repeat YES-", false, "no day"},
    {"7:05 AM-Reboot-Repeat YES", false, "no day"},
    {"7:05 AM-Reboot", false, "no day"},
    {"Reboot", false, "no day"},
    {"7:05 AM-Reboot-Repeat YES-\xC5\xBFunday", false, "no such day"},  // no ASCII capital
    // No action.
    {"7:05 AM-Hibernate-Repeat YES-Every Day", false, "no action in \"Hibernate\""},
    {"7:05 AM--Repeat YES-Every Day", false, "no action"},
    {"7:05 AM-Re boot-Repeat YES-Every Day", false, "no action"},
    {"7:05 AM-Lock-Repeat YES-Every Day", false, "no action"},
    // Bytes no editor writes.
    {"7:05 AM-Reboot-Repeat YES-Every Day\0"s, false, "no such day"},
    {"7\0:05 AM-Reboot-Repeat YES-Every Day"s, false, "no such hour"},
    {"7:05 AM-Reb\0oot-Repeat YES-Every Day"s, false, "no action"},
    {"7:05 AM-Reboot\0-Repeat YES-Every Day"s, true, ""},  // still holds the word
    {"\xEF\xBB\xBF"
     "7:05 AM-Reboot-Repeat YES-Every Day",
     false, "byte order mark"},
    {"\xD9\xA7:05 AM-Reboot-Repeat YES-Every Day", false, "no such hour"},  // an Arabic 7
    {"7:05 AM-Reboot-Repeat YES-Every\tDay", false, "no such day"},
    {"7:05 AM-Reboot-Repeat YES-Every Day\r", false, "no such day"},
    // Every fault of a line is named at once.
    {"13:60 pm-Hibernate-Repeat YES-Mon", false,
     "no such day: \"Mon\" (Every Day, or Sunday to Saturday); no such hour: \"13\""},
};

std::string FileOf(const std::vector<std::string>& lines) {
    std::string bytes;
    for (const std::string& line : lines) bytes += line + "\r\n";
    return bytes;
}

TEST(CheckScheduleLines, ReportsExactlyTheLinesTheServiceCanNeverRun) {
    std::vector<std::string> lines;
    for (const LineCase& c : kLines) lines.push_back(c.line);
    const std::string bytes = FileOf(lines);
    ExpectAgreement(bytes);

    // And says why, at the line's number in the file.
    std::map<int, LineProblem> reported;
    for (const LineProblem& problem : CheckScheduleLines(bytes)) reported[problem.number] = problem;
    for (std::size_t i = 0; i < lines.size(); ++i) {
        const LineCase& c = kLines[i];
        const int number = static_cast<int>(i) + 1;
        const auto found = reported.find(number);
        ASSERT_EQ(found != reported.end(), !c.runs) << ::testing::PrintToString(c.line);
        if (found == reported.end()) continue;
        EXPECT_NE(found->second.why.find(c.why), std::string::npos)
            << ::testing::PrintToString(c.line) << " gave: " << found->second.why;
        EXPECT_EQ(found->second.line, std::string(text::TrimSpaces(c.line)));
    }
}

TEST(CheckScheduleLines, TakesTheLinesTheServiceReadsAndReportsWhatItNeverReads) {
    const std::string good = "7:05 AM-ShutDown-Repeat YES-Monday";
    const std::string bad = "13:00 PM-Reboot-Repeat NO-Every Day";
    struct Case {
        const char* name;
        std::string bytes;
        std::vector<std::pair<int, const char*>> reported;  // number, part of the reason
    };
    const Case cases[] = {
        {"an empty file", "", {}},
        {"an empty schedule", "\r\n", {}},
        {"as the window writes it", good + "\r\n" + good + "\r\n\r\n", {}},
        {"blank lines and lines of spaces", "\r\n   \r\n" + good + "\r\n \r\n\r\n", {}},
        {"spaces around a line", "  " + good + "  \r\n", {}},
        {"spaces after the last CR LF", good + "\r\n   ", {}},
        {"numbers past blank lines", "\r\n\r\n" + bad + "\r\n", {{3, "no such hour"}}},
        {"the last line without CR LF", good + "\r\n" + good, {{2, "no CR LF ends it"}}},
        {"a single line without CR LF", good, {{1, "no CR LF ends it"}}},
        {"a bad last line without CR LF", bad, {{1, "no CR LF ends it"}}},
        {"lines ended by LF alone",
         good + "\n" + good + "\n\n",
         {{1, "ends with LF alone"}, {2, "ends with LF alone"}}},
        {"lines ended by LF alone after a read one",
         good + "\r\n" + good + "\n" + good + "\n",
         {{2, "ends with LF alone"}, {3, "ends with LF alone"}}},
        {"an LF joining two lines",
         good + "\n" + good + "\r\n" + bad + "\r\n",
         {{1, "joins this and the next line"}, {3, "no such hour"}}},
        {"a CR joining two lines", good + "\r" + good + "\r\n", {{1, "no such day"}}},
        {"a line ended by CR CR LF", good + "\r\r\n", {{1, "no such day"}}},
        {"UTF-16",
         "7\0:\0"
         "0\0"
         "5\0 \0A\0M\0\r\0\n\0"s,
         {{1, "ends with LF alone"}, {2, "no CR LF ends it"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ExpectAgreement(c.bytes);
        const std::vector<LineProblem> problems = CheckScheduleLines(c.bytes);
        ASSERT_EQ(problems.size(), c.reported.size());
        for (std::size_t i = 0; i < problems.size(); ++i) {
            EXPECT_EQ(problems[i].number, c.reported[i].first);
            EXPECT_EQ(problems[i].read, problems[i].why.find("never read") != 0);
            EXPECT_NE(problems[i].why.find(c.reported[i].second), std::string::npos)
                << problems[i].why;
        }
    }
}

TEST(CheckReport, NamesEachLineAndReasonAndShowsNoByteThatCouldSteerATerminal) {
    const std::vector<LineProblem> problems = {
        {3, "13:00 PM-Reboot-Repeat NO-Every Day", "no such hour: \"13\""},
        {4, "7:05 AM-Reboot-Repeat NO-\x1b]0;owned\x07", "no such day: \"\x1b]0;owned\x07\""},
        {5,
         "7:05 AM-Reboot-Repeat NO-\xC2\x9B"
         "31m",
         "no such day"},
    };
    EXPECT_EQ(
        CheckReport(problems, LogBytes::Utf8),
        "line 3: no such hour: \"13\": 13:00 PM-Reboot-Repeat NO-Every Day\n"
        "line 4: no such day: \"\\x1b]0;owned\\x07\": 7:05 AM-Reboot-Repeat NO-\\x1b]0;owned\\x07\n"
        "line 5: no such day: 7:05 AM-Reboot-Repeat NO-\\u009b31m\n");
    // A Windows console shows every byte above 0x7F as a character of its code page.
    EXPECT_NE(CheckReport(problems, LogBytes::CodePage)
                  .find("NO-\xC2\x9B"
                        "31m\n"),
              std::string::npos);
    EXPECT_EQ(CheckReport({}, LogBytes::Utf8), "");
}

TEST(CheckReport, ShortensALongLineWithoutBreakingACharacter) {
    const std::string line = "7:05 AM-Reboot-Repeat NO-" + std::string(200, 'x') + "\xC3\xA9" +
                             std::string(5'000'000, 'y');
    const std::vector<LineProblem> problems = CheckScheduleLines(line + "\r\n");
    ASSERT_EQ(problems.size(), 1u);
    EXPECT_LT(problems[0].why.size(), 200u);
    const std::string report = CheckReport(problems, LogBytes::Utf8);
    EXPECT_LT(report.size(), 2 * kReportedLineBytes + problems[0].why.size());
    EXPECT_EQ(report.find("\\x"), std::string::npos) << report;
    EXPECT_EQ(report.substr(report.size() - 4), "...\n");

    // Cut inside a two-byte character, the whole character goes.
    const std::string accented = std::string(kReportedLineBytes - 1, 'a') + "\xC3\xA9" + "z";
    const std::string shown = CheckReport({{1, accented, "why"}}, LogBytes::Utf8);
    EXPECT_EQ(shown, "line 1: why: " + std::string(kReportedLineBytes - 1, 'a') + "...\n");
}

}  // namespace
}  // namespace tolvane::testing
