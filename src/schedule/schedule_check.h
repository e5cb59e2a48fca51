#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

// A line of a schedule file that can never be due, and why.
struct LineProblem {
    int number = 0;    // 1 for the file's first line
    std::string line;  // as the reader trims it
    std::string why;   // one short sentence, e.g. "no such hour: 13"
};

// Every line of a schedule file's bytes that can never run: no such hour,
// minute, AM/PM or day, or no action. Blank lines are no lines. Used by
// `tolvane-service --check FILE` before a file is put in place.
std::vector<LineProblem> CheckScheduleLines(std::string_view bytes);

// What --check prints for them: one line per problem, "line N: why: the line".
std::string CheckReport(const std::vector<LineProblem>& problems);

}  // namespace tolvane
