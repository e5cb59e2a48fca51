#pragma once

#include "platform/clock.h"

namespace tolvane {

class PosixClock final : public Clock {
  public:
    LocalTime Now() override;
    double MonotonicSeconds() override;
};

}  // namespace tolvane
