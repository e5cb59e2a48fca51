#include "schedule/scheduler.h"

#include "power/action.h"
#include "schedule/due_lines.h"

namespace tolvane {

void Scheduler::RunDueLines() {
    const WallMinutes::Tick tick =
        minutes_.Next(clock_.Now(), clock_.MonotonicSeconds(), clock_.SinceBootSeconds());
    if (tick.due.empty()) return;
    DueLineWalk walk(tick.due);
    ScheduleListCursor cursor(list_);
    while (!cursor.AtEnd()) {
        pump_.ProcessPendingEvents();
        if (cursor.AtEnd()) break;  // the events may have shortened the list

        const std::string line = list_.Item(cursor.Position());
        cursor.Advance();
        const std::optional<DueLine> due = walk.Check(line);
        if (!due || !file_.ClaimRun(line, due->minute, due->oneTime) || !due->action) continue;
        std::string reason;
        if (!RunAction(power_, *due->action, reason) && refused_) refused_(reason);
    }
}

}  // namespace tolvane
