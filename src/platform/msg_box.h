#pragma once

#include <string>

namespace tolvane {

// The platform's message-box style and answer codes.
enum class MsgBoxStyle { OkOnly = 0, YesNo = 4 };
enum class MsgBoxResult { Ok = 1, Cancel = 2, Yes = 6, No = 7 };

// A modal message box with no icon: OK only, or Yes and No with Yes the
// default. The window keeps serving its events (a timer tick among them)
// while the box waits.
class MsgBox {
  public:
    virtual ~MsgBox() = default;
    virtual MsgBoxResult Show(const std::string& text, const std::string& title,
                              MsgBoxStyle style) = 0;
};

}  // namespace tolvane
