#pragma once

namespace tolvane {

// Lets long work hand control back to the window so clicks, paints and timer
// ticks are served in the middle of it.
class EventPump {
  public:
    virtual ~EventPump() = default;
    // Runs every event that is already waiting, then returns.
    virtual void ProcessPendingEvents() = 0;
    // Sleeps until an event arrives or the time is up, without running it.
    virtual void WaitForEvents(double maxSeconds) = 0;
};

}  // namespace tolvane
