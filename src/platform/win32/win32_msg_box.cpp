#include "platform/win32/win32_msg_box.h"

namespace tolvane {

UINT MessageBoxStyle(MsgBox::Buttons buttons) {
    // No icon flag, so the box shows none.
    return (buttons == MsgBox::Buttons::YesNo ? MB_YESNO : MB_OK) | MB_DEFBUTTON1;
}

MsgBox::Answer MessageBoxAnswer(int result) {
    switch (result) {
        case IDOK:
            return MsgBox::Answer::Ok;
        case IDYES:
            return MsgBox::Answer::Yes;
        case IDNO:
            return MsgBox::Answer::No;
        default:  // 0 when the box could not be shown
            return MsgBox::Answer::Closed;
    }
}

MsgBox::Answer Win32MsgBox::Show(const std::string& text, const std::string& title,
                                 Buttons buttons) {
    return MessageBoxAnswer(
        MessageBoxA(owner_, text.c_str(), title.c_str(), MessageBoxStyle(buttons)));
}

}  // namespace tolvane
