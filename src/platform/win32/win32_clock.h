#pragma once

#include "platform/clock.h"

namespace tolvane {

class Win32Clock final : public Clock {
  public:
    LocalTime Now() override;
    double MonotonicSeconds() override;
    double SinceBootSeconds() override;
};

}  // namespace tolvane
