#pragma once

#include <string>
#include <string_view>

#include "power/action.h"

namespace tolvane {

// The components a schedule line is composed from. Hour, minute, half-day and
// day are free texts: whatever the editor's pickers hold goes in unchanged.
struct ScheduleEntry {
    std::string Hour;
    std::string Minute;
    std::string AmPm;
    // Written as chosen: a forced lock is stored as "Force LockWorkStation".
    Action Act;
    bool Repeat = false;
    std::string Day;
};

// "10:30 PM-Force Reboot-Repeat NO-Every Day": time, action, repeat and day
// pieces joined by "-". The line is the entry's only form and its identity.
std::string ComposeScheduleLine(const ScheduleEntry& entry);

// The action piece followed by the repeat piece, as the editor's confirmation
// quotes it: "Force Reboot-Repeat NO".
std::string ComposeActionAndRepeat(Action action, bool repeat);

// The texts of a line taken apart. Nothing is trimmed, converted or re-cased.
// Missing pieces or parts are empty, and `complete` says whether the line had
// all four pieces and all three time parts; an incomplete line is never due.
struct ScheduleLineParts {
    std::string timePiece;
    std::string actionPiece;
    std::string repeatPiece;
    std::string dayPiece;
    std::string hour;
    std::string minute;
    std::string amPm;
    bool complete = false;
};

ScheduleLineParts SplitScheduleLine(std::string_view line);

}  // namespace tolvane
