#pragma once

#include <set>
#include <string>
#include <string_view>

#include "platform/clock.h"
#include "platform/event_pump.h"
#include "power/power_operations.h"
#include "schedule/schedule_file.h"
#include "schedule/schedule_list.h"
#include "schedule/wall_minutes.h"

namespace tolvane {

// Finds the schedule's due lines at each timer tick and carries them out.
class Scheduler {
  public:
    Scheduler(ScheduleList& list, ScheduleFile& file, PowerOperations& power, Clock& clock,
              EventPump& pump)
        : list_(list), file_(file), power_(power), clock_(clock), pump_(pump) {}

    // Walks the list once; every line due at a minute this tick stands for
    // runs, in list order: at most once per minute of the wall clock, however
    // many ticks fall in it and whatever the clock does between them, and
    // only when no other process of the schedule ran it at that minute. A
    // one-time line (every copy of it) leaves the file and the list before
    // its action is requested.
    void RunDueLines();

    // Requests the line's action.
    void RunAction(std::string_view actionPiece);

  private:
    ScheduleList& list_;
    ScheduleFile& file_;
    PowerOperations& power_;
    Clock& clock_;
    EventPump& pump_;
    WallMinutes minutes_;
};

}  // namespace tolvane
