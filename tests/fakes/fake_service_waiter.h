#pragma once

#include <functional>
#include <vector>

#include "fakes/fake_clock.h"
#include "platform/service_waiter.h"

namespace tolvane::testing {

// Waits without waiting: each wait moves the fake clock on by the time asked
// for and is written down. `stopAtWait` plays the service manager: from the
// wait of that number on (0 first) the answer is stop, with no time passing.
class FakeServiceWaiter final : public ServiceWaiter {
  public:
    explicit FakeServiceWaiter(FakeClock& clock) : clock_(clock) {}

    std::vector<double> waits;
    int stopAtWait = -1;  // never

    bool WaitFor(double seconds) override {
        const int call = static_cast<int>(waits.size());
        waits.push_back(seconds);
        if (stopAtWait >= 0 && call >= stopAtWait) return false;
        clock_.Advance(seconds);
        return true;
    }

  private:
    FakeClock& clock_;
};

}  // namespace tolvane::testing
