// Any bytes as a schedule an administrator checks. Each line the service
// reads is reported exactly when the service could never carry it out (the
// first few lines are tried at every minute of a week); problems come in the
// file's order at the lines an editor shows; the report is one plain line per
// problem, whatever the file holds.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz_check.h"
#include "schedule/due_lines.h"
#include "schedule/schedule_check.h"
#include "schedule/schedule_file.h"

using namespace tolvane;

namespace {

// Enough lines to meet every kind of fault an input can bring, few enough
// that a run stays fast: each costs up to a week of minutes.
constexpr std::size_t kLinesTriedAtEveryMinute = 3;

const std::vector<LocalTime>& EveryMinuteOfAWeek() {
    static const std::vector<LocalTime> minutes = [] {
        std::vector<LocalTime> all;
        for (int w = 0; w < 7; ++w) {
            for (int h = 0; h < 24; ++h) {
                for (int m = 0; m < 60; ++m)
                    all.push_back(LocalTime::Of(2026, 12, 6 + w, w, h, m, 0));
            }
        }
        return all;
    }();
    return minutes;
}

bool ServiceRuns(const std::string& line) {
    DueLineWalk walk(EveryMinuteOfAWeek());
    const auto due = walk.Check(line);
    return due && due->action;
}

void CheckReportIsPlain(const std::vector<LineProblem>& problems, LogBytes bytes) {
    const std::string report = CheckReport(problems, bytes);
    std::size_t lines = 0;
    std::size_t start = 0;
    for (std::size_t i = 0; i < report.size(); ++i) {
        const auto byte = static_cast<unsigned char>(report[i]);
        if (byte == '\n') {
            FUZZ_CHECK(report.compare(start, 5, "line ") == 0);
            ++lines;
            start = i + 1;
            continue;
        }
        FUZZ_CHECK(byte >= 0x20 && byte != 0x7F);
    }
    FUZZ_CHECK(start == report.size());
    FUZZ_CHECK(lines == problems.size());
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    const std::vector<LineProblem> problems = CheckScheduleLines(bytes);

    int editorLines = 1;
    for (const char c : bytes) editorLines += c == '\n';
    int previous = 0;
    bool tail = false;
    std::set<std::string> reported;
    for (const LineProblem& problem : problems) {
        FUZZ_CHECK(problem.number > previous && problem.number <= editorLines);
        previous = problem.number;
        FUZZ_CHECK(!problem.line.empty() && !problem.why.empty());
        // What the service never reads comes after all it reads.
        FUZZ_CHECK(!tail || !problem.read);
        tail = !problem.read;
        if (problem.read) reported.insert(problem.line);
    }

    const std::vector<std::string> lines = ScheduleFileLines(bytes);
    for (const std::string& line : reported) {
        FUZZ_CHECK(std::find(lines.begin(), lines.end(), line) != lines.end());
    }
    for (std::size_t i = 0; i < lines.size() && i < kLinesTriedAtEveryMinute; ++i) {
        FUZZ_CHECK((reported.count(lines[i]) != 0) != ServiceRuns(lines[i]));
    }

    CheckReportIsPlain(problems, LogBytes::Utf8);
    CheckReportIsPlain(problems, LogBytes::CodePage);
    return 0;
}
