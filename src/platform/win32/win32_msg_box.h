#pragma once

#include <windows.h>

#include "platform/msg_box.h"

namespace tolvane {

// The platform's style for the buttons (Yes, the first, the default), and
// the answer a button's result code gives.
UINT MessageBoxStyle(MsgBox::Buttons buttons);
MsgBox::Answer MessageBoxAnswer(int result);

// MessageBoxA, owned by the main window so the box stays in front of it and
// the window takes no clicks while the box is up. Its modal loop keeps
// dispatching the window's messages, timer ticks included.
class Win32MsgBox final : public MsgBox {
  public:
    void SetOwner(HWND owner) { owner_ = owner; }
    Answer Show(const std::string& text, const std::string& title, Buttons buttons) override;

  private:
    HWND owner_ = nullptr;
};

}  // namespace tolvane
