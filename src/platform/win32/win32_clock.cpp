#include "platform/win32/win32_clock.h"

#include <windows.h>

namespace tolvane {

LocalTime Win32Clock::Now() {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    return LocalTime::Of(local.wYear, local.wMonth, local.wDay, local.wDayOfWeek, local.wHour,
                         local.wMinute, local.wSecond + local.wMilliseconds / 1000.0);
}

double Win32Clock::MonotonicSeconds() {
    // Interrupt time without the time the machine slept, in 100 ns.
    ULONGLONG awake = 0;
    QueryUnbiasedInterruptTime(&awake);
    return static_cast<double>(awake) / 1e7;
}

double Win32Clock::SinceBootSeconds() {
    // The tick count goes on while the machine sleeps.
    return static_cast<double>(GetTickCount64()) / 1000.0;
}

}  // namespace tolvane
