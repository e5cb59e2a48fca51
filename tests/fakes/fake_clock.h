#pragma once

#include <chrono>
#include <functional>

#include "platform/clock.h"

namespace tolvane::testing {

// A clock that stands still unless a test moves it; `onRead` runs at every
// reading of the wall clock (`reads` counts them) so a test can let time pass
// while the code under test works.
class FakeClock final : public Clock {
  public:
    LocalTime now;
    double monotonic = 1000.0;
    double sinceBoot = 5000.0;
    int reads = 0;
    std::function<void(FakeClock&)> onRead;

    LocalTime Now() override {
        Read();
        return now;
    }
    double MonotonicSeconds() override { return monotonic; }
    double SinceBootSeconds() override { return sinceBoot; }

    // Moves every clock on by `seconds` (the time of day wraps at midnight,
    // onto the next day).
    void Advance(double seconds) {
        monotonic += seconds;
        sinceBoot += seconds;
        MoveWallClock(seconds);
    }
    // The machine sleeps for `seconds`: the wall clock and the time since
    // boot move on, the monotonic clock stands still.
    void Sleep(double seconds) {
        sinceBoot += seconds;
        MoveWallClock(seconds);
    }
    // The wall clock alone moves, by hand or for daylight saving time.
    void MoveWallClock(double seconds) {
        double since = now.secondsSinceMidnight + seconds;
        while (since >= 86400.0) {
            since -= 86400.0;
            ShiftDay(1);
        }
        while (since < 0) {
            since += 86400.0;
            ShiftDay(-1);
        }
        now.secondsSinceMidnight = since;
        now.hour = static_cast<int>(since / 3600);
        now.minute = static_cast<int>(since / 60) % 60;
    }

    // A reading in the week of Sunday 6 December 2026, on that weekday.
    static LocalTime At(int hour, int minute, int weekday = 1) {
        LocalTime t;
        t.year = 2026;
        t.month = 12;
        t.day = 6 + weekday;
        t.weekday = weekday;
        t.hour = hour;
        t.minute = minute;
        t.secondsSinceMidnight = hour * 3600.0 + minute * 60.0;
        return t;
    }

  private:
    void ShiftDay(int days) {
        using namespace std::chrono;
        const sys_days date = sys_days{year{now.year} / month{static_cast<unsigned>(now.month)} /
                                       day{static_cast<unsigned>(now.day)}} +
                              std::chrono::days{days};
        const year_month_day ymd{date};
        now.year = static_cast<int>(ymd.year());
        now.month = static_cast<int>(static_cast<unsigned>(ymd.month()));
        now.day = static_cast<int>(static_cast<unsigned>(ymd.day()));
        now.weekday = static_cast<int>(weekday{date}.c_encoding());
    }
    void Read() {
        ++reads;
        if (onRead) onRead(*this);
    }
};

}  // namespace tolvane::testing
