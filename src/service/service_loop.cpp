#include "service/service_loop.h"

namespace tolvane {

void RunServiceLoop(ServiceWaiter& waiter, Clock& clock, double intervalSeconds, int ticks,
                    const std::function<void()>& tick) {
    if (!waiter.WaitFor(0)) return;
    double next = clock.MonotonicSeconds();
    for (int done = 0;;) {
        tick();
        if (ticks != 0 && ++done >= ticks) return;
        // Counted from the first tick, so a slow tick does not push the next
        // one later; one that took longer than the interval is followed at
        // once, and the count starts afresh from there.
        next += intervalSeconds;
        const double now = clock.MonotonicSeconds();
        if (next < now) next = now;
        if (!waiter.WaitFor(next - now)) return;
    }
}

}  // namespace tolvane
