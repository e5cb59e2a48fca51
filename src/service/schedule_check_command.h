#pragma once

#include <string>

#include "platform/file_system.h"
#include "schedule/log_text.h"

namespace tolvane {

// The exit statuses of `tolvane-service --check FILE`, which configuration
// tools test before they put a schedule in place.
inline constexpr int kCheckEveryLineRuns = 0;
inline constexpr int kCheckSomeLineNeverRuns = 1;
inline constexpr int kCheckFileUnreadable = 2;

struct ScheduleCheckOutcome {
    int exitStatus = kCheckEveryLineRuns;
    // For standard output: a line per line that can never run, then a summary.
    std::string report;
    // For standard error: why the file could not be read at all.
    std::string problem;
};

// Reads the schedule at `path` as the service would (no larger than the
// service reads) and says which of its lines can never run. `bytes` is how
// the terminal or console that shows the texts reads bytes above 0x7F.
ScheduleCheckOutcome CheckScheduleFile(FileSystem& files, const std::string& path, LogBytes bytes);

}  // namespace tolvane
