#pragma once

#include <string>

#include "platform/service_waiter.h"

namespace tolvane {

// The Linux service's waits, ended by SIGTERM (systemd's stop) or SIGINT
// (Ctrl+C). Both signals are blocked and read from a signalfd instead, so a
// stop never lands in the middle of a tick: the loop ends at its next wait.
// A signal is blocked only for the thread that blocks it and the threads it
// starts later, so make this before any other thread starts (the thread
// that waits for a schedule's lock among them).
class SignalServiceWaiter final : public ServiceWaiter {
  public:
    SignalServiceWaiter();
    ~SignalServiceWaiter() override;
    SignalServiceWaiter(const SignalServiceWaiter&) = delete;
    SignalServiceWaiter& operator=(const SignalServiceWaiter&) = delete;

    // Empty when the signals are blocked and can be read; otherwise why not.
    const std::string& Problem() const { return problem_; }

    // A wait that fails is taken for a stop: a service that could not be
    // stopped would have to be killed.
    bool WaitFor(double seconds) override;

  private:
    int fd_ = -1;
    bool stopped_ = false;
    std::string problem_;
};

}  // namespace tolvane
