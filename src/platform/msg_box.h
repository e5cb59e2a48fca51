#pragma once

#include <string>

namespace tolvane {

// A modal message box with no icon: OK only, or Yes and No with Yes the
// default. The window keeps serving its events (a timer tick among them)
// while the box waits.
class MsgBox {
  public:
    enum class Buttons { Ok, YesNo };
    // Closed: the box went without a button being chosen, or could not be
    // shown at all.
    enum class Answer { Ok, Yes, No, Closed };

    virtual ~MsgBox() = default;
    virtual Answer Show(const std::string& text, const std::string& title, Buttons buttons) = 0;
};

}  // namespace tolvane
