#pragma once

#include <functional>

#include "platform/clock.h"

namespace tolvane::testing {

// A clock that stands still unless a test moves it; `onRead` runs at every
// reading so a test can let time pass while the code under test works.
class FakeClock final : public Clock {
  public:
    LocalTime now;
    double monotonic = 1000.0;
    int reads = 0;
    std::function<void(FakeClock&)> onRead;

    LocalTime Now() override {
        Read();
        return now;
    }
    double MonotonicSeconds() override {
        Read();
        return monotonic;
    }

    // Moves both clocks on by `seconds` (the time of day wraps at midnight).
    void Advance(double seconds) {
        monotonic += seconds;
        now.secondsSinceMidnight += seconds;
        if (now.secondsSinceMidnight >= 86400.0) now.secondsSinceMidnight -= 86400.0;
    }

    static LocalTime At(int hour, int minute, int weekday = 1) {
        LocalTime t;
        t.year = 2026;
        t.month = 12;
        t.day = 7;
        t.weekday = weekday;
        t.hour = hour;
        t.minute = minute;
        t.secondsSinceMidnight = hour * 3600.0 + minute * 60.0;
        return t;
    }

  private:
    void Read() {
        ++reads;
        if (onRead) onRead(*this);
    }
};

}  // namespace tolvane::testing
