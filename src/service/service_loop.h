#pragma once

#include <functional>

#include "platform/clock.h"
#include "platform/service_waiter.h"

namespace tolvane {

// The service's loop: `tick` at once, then every `intervalSeconds` counted
// from the first tick on `clock`'s monotonic time, until `waiter` says stop
// or, when `ticks` is not 0, after that many ticks. A stop asked for before
// the start means no tick at all.
void RunServiceLoop(ServiceWaiter& waiter, Clock& clock, double intervalSeconds, int ticks,
                    const std::function<void()>& tick);

}  // namespace tolvane
