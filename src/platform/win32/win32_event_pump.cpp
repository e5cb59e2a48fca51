#include "platform/win32/win32_event_pump.h"

#include <cmath>

namespace tolvane {

void Win32EventPump::Deliver(MSG& message) {
    if (dialog_ && IsWindow(dialog_) && IsDialogMessageA(dialog_, &message)) return;
    TranslateMessage(&message);
    DispatchMessageA(&message);
}

void Win32EventPump::ProcessPendingEvents() {
    MSG message;
    while (PeekMessageA(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            // Leave the quit request for the main loop, which is the one to end.
            PostQuitMessage(static_cast<int>(message.wParam));
            return;
        }
        Deliver(message);
    }
}

void Win32EventPump::WaitForEvents(double maxSeconds) {
    const double milliseconds = std::ceil(maxSeconds * 1000.0);
    const DWORD timeout = milliseconds <= 0            ? 0
                          : milliseconds >= 0x7FFFFFFF ? 0x7FFFFFFF
                                                       : static_cast<DWORD>(milliseconds);
    // MWMO_INPUTAVAILABLE: also wake for messages that were already queued but
    // not yet looked at, not only for ones arriving from now on.
    MsgWaitForMultipleObjectsEx(0, nullptr, timeout, QS_ALLINPUT, MWMO_INPUTAVAILABLE);
}

int Win32EventPump::Run() {
    MSG message;
    for (;;) {
        const BOOL got = GetMessageA(&message, nullptr, 0, 0);
        if (got == 0) return static_cast<int>(message.wParam);
        if (got == -1) return 1;
        Deliver(message);
    }
}

}  // namespace tolvane
