#pragma once

#include <optional>
#include <set>
#include <string>
#include <vector>

#include "platform/clock.h"
#include "power/action.h"
#include "schedule/wall_minutes.h"

namespace tolvane {

// A schedule line found due, with what every walker needs of it.
struct DueLine {
    std::string line;
    WallMinute minute = 0;  // the first of the walk's minutes it is due at
    bool oneTime = false;
    std::optional<Action> action;  // nothing: the line names no action
    std::string time;              // "10:30 PM", as the line writes it
};

// One walk over a schedule's lines, in their order, against some minutes of
// the clock: the window's runner, the service's tick and the notices all
// find their due lines so. Copies of a line stand for one line: only the
// first is found.
class DueLineWalk {
  public:
    explicit DueLineWalk(std::vector<LocalTime> minutes) : minutes_(std::move(minutes)) {}

    // The line when it is due at one of the minutes and no copy of it was
    // found before in this walk.
    std::optional<DueLine> Check(const std::string& line);
    // Whether this walk found the line (or a copy) due.
    bool Found(const std::string& line) const { return found_.count(line) != 0; }

  private:
    std::vector<LocalTime> minutes_;
    std::set<std::string> found_;
};

}  // namespace tolvane
