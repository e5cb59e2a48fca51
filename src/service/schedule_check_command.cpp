#include "service/schedule_check_command.h"

#include <algorithm>

#include "schedule/machine_schedule.h"
#include "schedule/schedule_check.h"
#include "schedule/schedule_file.h"
#include "service/schedule_service.h"

namespace tolvane {

namespace {

std::string Lines(std::size_t count) {
    return std::to_string(count) + (count == 1 ? " line" : " lines");
}

}  // namespace

ScheduleCheckOutcome CheckScheduleFile(FileSystem& files, const std::string& path, LogBytes bytes) {
    // A file either service would refuse as too large is no schedule at all.
    const std::size_t maxBytes = std::min(kServiceMaxScheduleBytes, kMachineScheduleMaxBytes);
    const FileRead read = files.ReadFile(path, maxBytes);
    const std::string shown = EscapeForLog(path, bytes);
    ScheduleCheckOutcome outcome;
    switch (read.outcome) {
        case FileRead::Outcome::Read:
            break;
        case FileRead::Outcome::Missing:
            outcome.problem = "There is no schedule file at " + shown + ".\n";
            outcome.exitStatus = kCheckFileUnreadable;
            return outcome;
        case FileRead::Outcome::TooLarge:
            outcome.problem = shown + " is larger than " +
                              std::to_string(maxBytes / (1024 * 1024)) +
                              " MiB, which the service never reads.\n";
            outcome.exitStatus = kCheckFileUnreadable;
            return outcome;
        case FileRead::Outcome::Unreadable:
            outcome.problem = shown + " cannot be read: " + EscapeForLog(read.reason, bytes) + "\n";
            outcome.exitStatus = kCheckFileUnreadable;
            return outcome;
    }

    const std::vector<LineProblem> problems = CheckScheduleLines(read.bytes);
    const std::size_t unread = static_cast<std::size_t>(std::count_if(
        problems.begin(), problems.end(), [](const LineProblem& p) { return !p.read; }));
    const std::size_t lines = ScheduleFileLines(read.bytes).size() + unread;
    outcome.report = CheckReport(problems, bytes);
    if (problems.empty()) {
        outcome.report += shown + ": " +
                          (lines == 0 ? std::string("no lines, nothing to run")
                                      : Lines(lines) + ", every one can run") +
                          ".\n";
        return outcome;
    }
    outcome.report += shown + ": " + Lines(problems.size()) + " of " + std::to_string(lines) +
                      " can never run.\n";
    outcome.exitStatus = kCheckSomeLineNeverRuns;
    return outcome;
}

}  // namespace tolvane
