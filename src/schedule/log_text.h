#pragma once

#include <string>
#include <string_view>

namespace tolvane {

// How the log that receives a text reads bytes above 0x7F.
enum class LogBytes {
    Utf8,      // the journal and a terminal: UTF-8, where C1 controls and
               // broken sequences can also steer a terminal
    CodePage,  // the Windows event log and console: the ANSI code page, where
               // every byte above 0x7F is a printable character
};

// A text from a file or a user made safe to log as one line: every control
// character (and, in UTF-8, every C1 control, line or paragraph separator,
// bidirectional override and broken byte) becomes a visible escape such as
// \n, \x1b or \u202e, and a leading '<' becomes \x3c, so no text can start a
// log line of its own, give one a priority, or move a reader's cursor.
// Printable text, backslashes included, passes unchanged.
std::string EscapeForLog(std::string_view text, LogBytes bytes);

}  // namespace tolvane
