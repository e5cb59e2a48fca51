#include "power/pause.h"

#include <cmath>

namespace tolvane {

double RoundHalfToEven(double value) {
    const double down = std::floor(value);
    const double fraction = value - down;
    if (fraction > 0.5) return down + 1;
    if (fraction < 0.5) return down;
    return std::fmod(down, 2.0) == 0.0 ? down : down + 1;
}

void PauseSeconds(std::int32_t seconds, Clock& clock, EventPump& pump) {
    const double startTimeOfDay = clock.Now().secondsSinceMidnight;
    const double startMonotonic = clock.MonotonicSeconds();
    const double end = RoundHalfToEven(startTimeOfDay) + seconds;
    for (;;) {
        const double now = startTimeOfDay + (clock.MonotonicSeconds() - startMonotonic);
        if (now >= end) return;
        pump.ProcessPendingEvents();
        pump.WaitForEvents(end - now);
    }
}

}  // namespace tolvane
