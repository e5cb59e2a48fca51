#pragma once

#include "platform/event_pump.h"

namespace tolvane {

// Long work hands control back to Qt's event loop through here.
class QtEventPump final : public EventPump {
  public:
    void ProcessPendingEvents() override;
    // Blocks in the event dispatcher (no spinning) until an event comes or
    // the time is up. The event that ends the wait is served here rather than
    // left for the next ProcessPendingEvents; the callers process events next
    // in any case.
    void WaitForEvents(double maxSeconds) override;
};

}  // namespace tolvane
