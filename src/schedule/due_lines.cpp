#include "schedule/due_lines.h"

#include "schedule/schedule_line.h"
#include "schedule/schedule_matching.h"

namespace tolvane {

std::optional<DueLine> DueLineWalk::Check(const std::string& line) {
    if (minutes_.empty() || Found(line)) return std::nullopt;
    const ScheduleLineParts parts = SplitScheduleLine(line);
    const LocalTime* minute = FirstDueMinute(parts, minutes_);
    if (!minute) return std::nullopt;
    found_.insert(line);
    return DueLine{line, WallMinuteOf(*minute), IsOneTime(parts.repeatPiece),
                   ChooseAction(parts.actionPiece),
                   parts.hour + ":" + parts.minute + " " + parts.amPm};
}

}  // namespace tolvane
