#include "schedule/wall_minutes.h"

#include <algorithm>
#include <chrono>

namespace tolvane {

namespace {

// Clock changes smaller than this are daylight saving time or a small
// correction by hand; larger ones set the clock to another time altogether.
constexpr WallMinute kSmallChangeMinutes = 3 * 60;
// Sleep shorter than this is a tick that came late, not the machine asleep.
constexpr double kSleepSeconds = 60.0;
constexpr WallMinute kSleptMinutesTold = 24 * 60;

}  // namespace

WallMinute WallMinuteOf(const LocalTime& time) {
    using namespace std::chrono;
    const sys_days date{year{time.year} / month{static_cast<unsigned>(time.month)} /
                        day{static_cast<unsigned>(time.day)}};
    return (static_cast<WallMinute>(date.time_since_epoch().count()) * 24 + time.hour) * 60 +
           time.minute;
}

LocalTime StartOfWallMinute(WallMinute minute) {
    using namespace std::chrono;
    const WallMinute days = minute >= 0 ? minute / 1440 : (minute - 1439) / 1440;
    const WallMinute ofDay = minute - days * 1440;
    const sys_days date{std::chrono::days{days}};
    const year_month_day ymd{date};
    LocalTime t;
    t.year = static_cast<int>(ymd.year());
    t.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
    t.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
    t.weekday = static_cast<int>(weekday{date}.c_encoding());
    t.hour = static_cast<int>(ofDay / 60);
    t.minute = static_cast<int>(ofDay % 60);
    t.secondsSinceMidnight = static_cast<double>(ofDay) * 60.0;
    return t;
}

void WallMinutes::StartAfter(const LocalTime& now, double awakeSeconds, double sinceBootSeconds) {
    started_ = true;
    last_ = highest_ = WallMinuteOf(now);
    awake_ = awakeSeconds;
    sinceBoot_ = sinceBootSeconds;
}

WallMinutes::Tick WallMinutes::Next(const LocalTime& now, double awakeSeconds,
                                    double sinceBootSeconds) {
    const WallMinute minute = WallMinuteOf(now);
    Tick tick;
    if (!started_) {
        StartAfter(now, awakeSeconds, sinceBootSeconds);
        tick.due.push_back(StartOfWallMinute(minute));
        return tick;
    }
    const double passed = sinceBootSeconds - sinceBoot_;
    const bool slept = passed - (awakeSeconds - awake_) > kSleepSeconds;
    // How far the wall clock moved beyond the time that really passed.
    const WallMinute jump = minute - last_ - static_cast<WallMinute>(std::max(0.0, passed) / 60.0);
    awake_ = awakeSeconds;
    sinceBoot_ = sinceBootSeconds;
    last_ = minute;

    if (jump >= kSmallChangeMinutes || jump <= -kSmallChangeMinutes) {
        highest_ = minute;
        tick.due.push_back(StartOfWallMinute(minute));
        return tick;
    }
    WallMinute from = highest_ + 1;
    if (slept) {
        for (WallMinute m = std::max(from, minute - kSleptMinutesTold); m < minute; ++m) {
            tick.slept.push_back(StartOfWallMinute(m));
        }
        from = std::max(from, minute);
    }
    for (WallMinute m = from; m <= minute; ++m) tick.due.push_back(StartOfWallMinute(m));
    highest_ = std::max(highest_, minute);
    return tick;
}

}  // namespace tolvane
