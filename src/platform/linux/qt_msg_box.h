#pragma once

#include "platform/msg_box.h"

class QWidget;

namespace tolvane {

// Modal message boxes over the main window: the exact text and title, no icon,
// OK alone or Yes and No with Yes the default. The event loop runs while the
// box waits, so the timer keeps ticking.
class QtMsgBox final : public MsgBox {
  public:
    explicit QtMsgBox(QWidget* owner) : owner_(owner) {}
    Answer Show(const std::string& text, const std::string& title, Buttons buttons) override;

  private:
    QWidget* owner_;
};

}  // namespace tolvane
