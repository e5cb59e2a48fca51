#include "schedule/minute_memory.h"

#include <chrono>

namespace tolvane {

namespace {

long long MinuteStamp(const LocalTime& t) {
    using namespace std::chrono;
    const sys_days date{year{t.year} / month{static_cast<unsigned>(t.month)} /
                        day{static_cast<unsigned>(t.day)}};
    return (static_cast<long long>(date.time_since_epoch().count()) * 24 + t.hour) * 60 + t.minute;
}

}  // namespace

void MinuteMemory::Enter(const LocalTime& now) {
    const long long minute = MinuteStamp(now);
    if (minute == minute_) return;
    minute_ = minute;
    skipAll_ = false;
    ran_.clear();
}

bool MinuteMemory::FirstRunThisMinute(const std::string& line, const LocalTime& now) {
    Enter(now);
    return !skipAll_ && ran_.insert(line).second;
}

void MinuteMemory::SkipMinute(const LocalTime& now) {
    Enter(now);
    skipAll_ = true;
}

}  // namespace tolvane
