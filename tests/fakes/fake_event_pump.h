#pragma once

#include <functional>
#include <vector>

#include "platform/event_pump.h"

namespace tolvane::testing {

// Stands in for the window's event loop. `onProcess` plays the user: it runs
// at each call with the call's number (0 first), so a test can click in the
// middle of a walk.
class FakeEventPump final : public EventPump {
  public:
    int processed = 0;
    std::vector<double> waits;
    std::function<void(int)> onProcess;
    std::function<void(double)> onWait;

    void ProcessPendingEvents() override {
        const int call = processed++;
        if (onProcess) onProcess(call);
    }
    void WaitForEvents(double maxSeconds) override {
        waits.push_back(maxSeconds);
        if (onWait) onWait(maxSeconds);
    }
};

}  // namespace tolvane::testing
