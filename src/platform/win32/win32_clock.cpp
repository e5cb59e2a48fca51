#include "platform/win32/win32_clock.h"

#include <windows.h>

namespace tolvane {

LocalTime Win32Clock::Now() {
    SYSTEMTIME local{};
    GetLocalTime(&local);
    LocalTime t;
    t.year = local.wYear;
    t.month = local.wMonth;
    t.day = local.wDay;
    t.weekday = local.wDayOfWeek;
    t.hour = local.wHour;
    t.minute = local.wMinute;
    t.secondsSinceMidnight =
        local.wHour * 3600.0 + local.wMinute * 60.0 + local.wSecond + local.wMilliseconds / 1000.0;
    return t;
}

double Win32Clock::MonotonicSeconds() {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER counter{};
    QueryPerformanceFrequency(&frequency);
    QueryPerformanceCounter(&counter);
    return static_cast<double>(counter.QuadPart) / static_cast<double>(frequency.QuadPart);
}

}  // namespace tolvane
