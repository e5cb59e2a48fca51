#pragma once

namespace tolvane {

// One reading of the local wall clock.
struct LocalTime {
    int year = 1970;
    int month = 1;                      // 1 to 12
    int day = 1;                        // 1 to 31
    int weekday = 4;                    // 0 = Sunday to 6 = Saturday
    int hour = 0;                       // 0 to 23
    int minute = 0;                     // 0 to 59
    double secondsSinceMidnight = 0.0;  // with its fraction

    // A reading from a system's calendar fields; `second` with its fraction.
    static LocalTime Of(int year, int month, int day, int weekday, int hour, int minute,
                        double second) {
        return {year, month, day, weekday, hour, minute, hour * 3600.0 + minute * 60.0 + second};
    }
};

class Clock {
  public:
    virtual ~Clock() = default;
    virtual LocalTime Now() = 0;
    // Seconds on a clock that never jumps (midnight, daylight saving, the user
    // setting the time) and stands still while the machine sleeps; only
    // differences between two readings mean anything.
    virtual double MonotonicSeconds() = 0;
    // The same, but counting the time the machine sleeps too: the difference
    // between the two tells a machine that slept from a clock set by hand.
    virtual double SinceBootSeconds() = 0;
};

}  // namespace tolvane
