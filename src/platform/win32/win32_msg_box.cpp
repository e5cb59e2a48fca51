#include "platform/win32/win32_msg_box.h"

namespace tolvane {

MsgBoxResult Win32MsgBox::Show(const std::string& text, const std::string& title,
                               MsgBoxStyle style) {
    // The style is the platform's own code: MB_OK or MB_YESNO, no icon, the
    // first button the default.
    const int answer = MessageBoxA(owner_, text.c_str(), title.c_str(), static_cast<UINT>(style));
    return static_cast<MsgBoxResult>(answer);
}

}  // namespace tolvane
