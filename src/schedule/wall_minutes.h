#pragma once

#include <vector>

#include "platform/clock.h"

namespace tolvane {

// A minute of the local wall clock as a number: minutes since 1970-01-01 00:00
// of the local calendar. Two readings in the hour that the clock repeats when
// it goes back get the same number.
using WallMinute = long long;

WallMinute WallMinuteOf(const LocalTime& time);
// The reading at the start of that minute, its weekday included.
LocalTime StartOfWallMinute(WallMinute minute);

// Which minutes of the wall clock each tick of a schedule stands for, so that
// a line due at a minute runs once, whatever the clock does between ticks (as
// cron does it):
//   - normally, every minute since the last tick, the tick's own included (a
//     late tick catches up; two ticks in one minute do not repeat it);
//   - the clock went forward by less than three hours (daylight saving time,
//     or set by hand): the minutes it skipped are due at the first tick after;
//   - the clock went back by less than three hours: the minutes it repeats are
//     not due again;
//   - a change of three hours or more corrects the clock: only the new minute
//     is due, and from then on the clock counts from there;
//   - the machine slept: the minutes that passed meanwhile are not due late;
//     they are told apart, for the log.
class WallMinutes {
  public:
    struct Tick {
        std::vector<LocalTime> due;    // oldest first
        std::vector<LocalTime> slept;  // passed while the machine slept (the last day's)
    };

    // `awakeSeconds` counts time the machine runs; `sinceBootSeconds` also the
    // time it sleeps. The first tick stands for its own minute only.
    Tick Next(const LocalTime& now, double awakeSeconds, double sinceBootSeconds);
    // The minute `now` falls in counts as already done: a service back up
    // after its own reboot at a line's minute does not run the line again.
    void StartAfter(const LocalTime& now, double awakeSeconds, double sinceBootSeconds);

  private:
    bool started_ = false;
    WallMinute last_ = 0;     // the minute of the last tick
    WallMinute highest_ = 0;  // the latest minute already due once
    double awake_ = 0;
    double sinceBoot_ = 0;
};

}  // namespace tolvane
