#include "platform/linux/posix_clock.h"

#include <time.h>

namespace tolvane {

LocalTime PosixClock::Now() {
    timespec now{};
    clock_gettime(CLOCK_REALTIME, &now);
    return LocalTimeOf(now);
}

LocalTime PosixClock::LocalTimeOf(const timespec& instant) {
    tm local{};
    localtime_r(&instant.tv_sec, &local);

    LocalTime t;
    t.year = local.tm_year + 1900;
    t.month = local.tm_mon + 1;
    t.day = local.tm_mday;
    t.weekday = local.tm_wday;
    t.hour = local.tm_hour;
    t.minute = local.tm_min;
    t.secondsSinceMidnight =
        local.tm_hour * 3600.0 + local.tm_min * 60.0 + local.tm_sec + instant.tv_nsec / 1e9;
    return t;
}

double PosixClock::MonotonicSeconds() {
    timespec now{};
    clock_gettime(CLOCK_MONOTONIC, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

double PosixClock::SinceBootSeconds() {
    timespec now{};
    clock_gettime(CLOCK_BOOTTIME, &now);
    return static_cast<double>(now.tv_sec) + now.tv_nsec / 1e9;
}

}  // namespace tolvane
