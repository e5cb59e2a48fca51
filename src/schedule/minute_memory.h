#pragma once

#include <set>
#include <string>

#include "platform/clock.h"

namespace tolvane {

// Remembers which lines ran in the current clock minute, so a line due in a
// minute runs once however many ticks fall in it.
class MinuteMemory {
  public:
    // True the first time a line is offered in a minute (and remembers it).
    bool FirstRunThisMinute(const std::string& line, const LocalTime& now);
    // Treats every line as already run in the minute `now` falls in.
    void SkipMinute(const LocalTime& now);

  private:
    void Enter(const LocalTime& now);

    long long minute_ = -1;  // minutes since the epoch of the local calendar
    bool skipAll_ = false;
    std::set<std::string> ran_;
};

}  // namespace tolvane
