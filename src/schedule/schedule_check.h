#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "schedule/log_text.h"

namespace tolvane {

// A line of a schedule file that can never be due, and why.
struct LineProblem {
    // Where the line starts as a text editor counts lines (every LF ends
    // one), 1 for the file's first: that is where an administrator looks.
    int number = 0;
    std::string line;  // as the reader trims it
    std::string why;   // one short sentence, e.g. "no such hour: \"13\" (1 to 12)"
    // Whether the service reads the line at all: not so after the last CR LF.
    bool read = true;
};

// Every line of a schedule file's bytes that can never run: no such hour,
// minute, AM/PM or day, or no action. The lines are the service's own: cut
// at CR LF, trimmed of spaces, blank ones dropped. Text after the last CR LF
// is never read by the service; each non-blank line of it is reported too,
// since an administrator wrote it to run. A line is reported exactly when
// the service could never carry it out. Used by `tolvane-service --check
// FILE` before a file is put in place.
std::vector<LineProblem> CheckScheduleLines(std::string_view bytes);

// The most of a line (and of a value quoted in a reason) that a report
// shows: a file of a single 4 MiB line must not flood a terminal.
inline constexpr std::size_t kReportedLineBytes = 160;

// What --check prints for them: one line per problem, "line N: why: the
// line", every byte taken from the file made safe for where it is printed.
std::string CheckReport(const std::vector<LineProblem>& problems, LogBytes bytes);

}  // namespace tolvane
