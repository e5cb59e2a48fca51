#include "schedule/scheduler.h"

#include "power/action.h"
#include "schedule/schedule_matching.h"

namespace tolvane {

void Scheduler::RunDueLines() {
    const WallMinutes::Tick tick =
        minutes_.Next(clock_.Now(), clock_.MonotonicSeconds(), clock_.SinceBootSeconds());
    if (tick.due.empty()) return;
    std::set<std::string> ran;  // copies of one line act once
    ScheduleListCursor cursor(list_);
    while (!cursor.AtEnd()) {
        pump_.ProcessPendingEvents();
        if (cursor.AtEnd()) break;  // the events may have shortened the list

        const std::string line = list_.Item(cursor.Position());
        cursor.Advance();
        const auto parts = SplitScheduleLine(line);
        const LocalTime* due = FirstDueMinute(parts, tick.due);
        if (!due || !ran.insert(line).second) continue;
        if (!file_.ClaimRun(line, WallMinuteOf(*due), IsOneTime(parts.repeatPiece))) continue;
        RunAction(parts.actionPiece);
    }
}

void Scheduler::RunAction(std::string_view actionPiece) {
    const std::optional<Action> action = ChooseAction(actionPiece);
    if (!action) return;
    std::string reason;
    if (!tolvane::RunAction(power_, *action, reason) && refused_) refused_(reason);
}

}  // namespace tolvane
