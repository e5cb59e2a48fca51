#pragma once

#include <windows.h>

#include "platform/event_pump.h"

namespace tolvane {

// The thread's message queue. Every message goes through the dialog manager
// of the main window first, so Tab, the arrow keys and Space work there as in
// a dialog box, whichever loop happens to be running.
class Win32EventPump final : public EventPump {
  public:
    void SetDialogWindow(HWND window) { dialog_ = window; }

    void ProcessPendingEvents() override;
    void WaitForEvents(double maxSeconds) override;

    // The program's main loop: runs until WM_QUIT and returns its exit code.
    int Run();

  private:
    void Deliver(MSG& message);

    HWND dialog_ = nullptr;
};

}  // namespace tolvane
