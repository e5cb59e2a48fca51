#include "schedule/scheduler.h"

#include <chrono>

#include "schedule/schedule_matching.h"

namespace tolvane {

namespace {

long long MinuteStamp(const LocalTime& t) {
    using namespace std::chrono;
    const sys_days date{year{t.year} / month{static_cast<unsigned>(t.month)} /
                        day{static_cast<unsigned>(t.day)}};
    return (static_cast<long long>(date.time_since_epoch().count()) * 24 + t.hour) * 60 + t.minute;
}

}  // namespace

void Scheduler::Timer1_Timer() {
    ScheduleListCursor cursor(list_);
    while (!cursor.AtEnd()) {
        pump_.ProcessPendingEvents();
        if (cursor.AtEnd()) break;  // the events may have shortened the list

        const std::string line = list_.Item(cursor.Position());
        cursor.Advance();
        const auto parts = SplitScheduleLine(line);
        const LocalTime now = clock_.Now();
        if (!IsDue(parts, now)) continue;
        if (AlreadyRanThisMinute(line, now)) continue;
        RunAction(parts.actionPiece, parts.repeatPiece, line);
    }
}

bool Scheduler::AlreadyRanThisMinute(const std::string& line, const LocalTime& now) {
    const long long minute = MinuteStamp(now);
    if (minute != ranMinute_) {
        ranMinute_ = minute;
        ranLines_.clear();
    }
    return !ranLines_.insert(line).second;
}

void Scheduler::RunAction(std::string_view actionPiece, std::string_view repeatPiece,
                          const std::string& line) {
    if (IsOneTime(repeatPiece)) {
        ScheduleListCursor cursor(list_);
        while (!cursor.AtEnd()) {
            pump_.ProcessPendingEvents();
            if (cursor.AtEnd()) break;
            if (list_.Item(cursor.Position()) == line) {
                list_.Remove(cursor.Position());
            } else {
                cursor.Advance();
            }
        }
        file_.SetFileData();
    }

    switch (ChooseAction(actionPiece)) {
        case PowerAction::Reboot:
            power_.RebootSystem();
            break;
        case PowerAction::RebootForced:
            power_.RebootSystemForced();
            break;
        case PowerAction::LogOff:
            power_.LogOffUser();
            break;
        case PowerAction::LogOffForced:
            power_.LogOffUserForced();
            break;
        case PowerAction::ShutDown:
            power_.ShutDownSystem();
            break;
        case PowerAction::ShutDownForced:
            power_.ShutDownSystemForced();
            break;
        case PowerAction::Lock:
            power_.LockWorkStation();
            break;
        case PowerAction::None:
            break;
    }
}

}  // namespace tolvane
