#include "schedule/scheduler.h"

#include <algorithm>

#include "power/action.h"
#include "schedule/action_records.h"
#include "schedule/due_lines.h"

namespace tolvane {

void Scheduler::RunDueLines() {
    const WallMinutes::Tick tick =
        minutes_.Next(clock_.Now(), clock_.MonotonicSeconds(), clock_.SinceBootSeconds());
    if (tick.due.empty()) return;
    std::vector<WallMinute> machineActs;
    if (machineActs_) {
        std::vector<WallMinute> minutes;
        for (const LocalTime& minute : tick.due) minutes.push_back(WallMinuteOf(minute));
        machineActs = machineActs_(minutes);
    }
    DueLineWalk walk(tick.due);
    ScheduleListCursor cursor(list_);
    while (!cursor.AtEnd()) {
        pump_.ProcessPendingEvents();
        if (cursor.AtEnd()) break;  // the events may have shortened the list

        const std::string line = list_.Item(cursor.Position());
        cursor.Advance();
        const std::optional<DueLine> due = walk.Check(line);
        // A line another process claimed first is that process's to record.
        if (!due || !file_.ClaimRun(line, due->minute, due->oneTime)) continue;
        if (std::find(machineActs.begin(), machineActs.end(), due->minute) != machineActs.end()) {
            Note(kRecordSkipped, MachineActsRecord(line), line);
            continue;
        }
        if (!due->action) {
            Note(kRecordSkipped, NothingToDoRecord(line), line);
            continue;
        }
        std::string reason;
        if (RunAction(power_, *due->action, reason)) {
            Note(kRecordDone, RequestedRecord(*due->action, line), line);
            continue;
        }
        Note(kRecordFailed, FailedRecord(*due->action, line, reason), line, true);
        if (refused_) refused_(reason);
    }
}

void Scheduler::Note(std::string_view result, const std::string& message, const std::string& line,
                     bool error) {
    if (journal_)
        journal_->Record({message, line, file_.Path(), user_, std::string(result), error});
}

}  // namespace tolvane
