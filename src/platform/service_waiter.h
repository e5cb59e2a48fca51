#pragma once

namespace tolvane {

// How a service waits between its ticks: the time passes, or whoever runs
// the service tells it to stop (the service manager, a signal, Ctrl+C).
class ServiceWaiter {
  public:
    virtual ~ServiceWaiter() = default;
    // Waits `seconds`, less when a stop comes first; 0 only looks. False once
    // a stop was asked for, and at every call after that.
    virtual bool WaitFor(double seconds) = 0;
};

}  // namespace tolvane
