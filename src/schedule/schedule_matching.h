#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/clock.h"
#include "schedule/schedule_line.h"

namespace tolvane {

// The clock as schedule lines write it: "12" for the hours 0 and 12, no
// leading zero; minutes always two digits; weekdays as the editor offers them,
// in capitals ("SUNDAY" to "SATURDAY").
std::string TwelveHourText(int hour);
std::string MinuteText(int minute);
std::string WeekdayNameUpper(int weekday);

// Day, hour, minute and half-day of the line against the clock, in that order.
// A line without all its pieces is never due.
bool IsDue(const ScheduleLineParts& parts, const LocalTime& now);
// The first of these minutes the line is due at; nothing when none.
const LocalTime* FirstDueMinute(const ScheduleLineParts& parts,
                                const std::vector<LocalTime>& minutes);

// The repeat piece, lower-cased, is exactly "repeat no".
bool IsOneTime(std::string_view repeatPiece);

// The first of "reboot", "logoff", "shutdown", "lockworkstation" found in the
// lower-cased action piece decides; "force" anywhere makes it forced.
// Nothing when none is there.
std::optional<Action> ChooseAction(std::string_view actionPiece);

}  // namespace tolvane
