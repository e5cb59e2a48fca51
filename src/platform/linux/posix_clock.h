#pragma once

#include <time.h>

#include "platform/clock.h"

namespace tolvane {

class PosixClock final : public Clock {
  public:
    LocalTime Now() override;
    double MonotonicSeconds() override;
    double SinceBootSeconds() override;

    // The local wall clock at that instant, in the time zone TZ names.
    static LocalTime LocalTimeOf(const timespec& instant);
};

}  // namespace tolvane
