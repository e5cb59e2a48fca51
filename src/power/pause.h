#pragma once

#include <cstdint>

#include "platform/clock.h"
#include "platform/event_pump.h"

namespace tolvane {

// Rounds to the nearest whole number, halves to the even neighbour.
double RoundHalfToEven(double value);

// Waits about `seconds` seconds while the window keeps serving its events. The
// start is the time of day rounded to a whole second, so the wait lasts between
// seconds - 0.5 and seconds + 0.5; the time that passes is measured on the
// monotonic clock, so a pause across midnight ends like any other.
void PauseSeconds(std::int32_t seconds, Clock& clock, EventPump& pump);

}  // namespace tolvane
