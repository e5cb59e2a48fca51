#pragma once

#include <windows.h>

#include "platform/msg_box.h"

namespace tolvane {

// MessageBoxA, owned by the main window so the box stays in front of it and
// the window takes no clicks while the box is up. Its modal loop keeps
// dispatching the window's messages, timer ticks included.
class Win32MsgBox final : public MsgBox {
  public:
    void SetOwner(HWND owner) { owner_ = owner; }
    MsgBoxResult Show(const std::string& text, const std::string& title,
                      MsgBoxStyle style) override;

  private:
    HWND owner_ = nullptr;
};

}  // namespace tolvane
