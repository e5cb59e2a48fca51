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
    return LocalTime::Of(local.tm_year + 1900, local.tm_mon + 1, local.tm_mday, local.tm_wday,
                         local.tm_hour, local.tm_min, local.tm_sec + instant.tv_nsec / 1e9);
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
