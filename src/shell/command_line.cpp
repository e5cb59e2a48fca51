#include "shell/command_line.h"

#include <string>

#include "schedule/text.h"

namespace tolvane {

CommandLineRequest ParseCommandLine(std::string_view commandLine) {
    CommandLineRequest request;
    std::string t = text::ToLower(text::TrimSpaces(commandLine));
    if (t.empty()) return request;

    if (text::Contains(t, "/force")) {
        request.force = true;
        t = text::EraseAll(t, "/force");
    }
    t = text::EraseAll(t, " ");

    if (t == "/reboot") {
        request.action = CommandLineAction::Reboot;
    } else if (t == "/shutdown") {
        request.action = CommandLineAction::ShutDown;
    } else if (t == "/lock") {
        request.action = CommandLineAction::Lock;
    } else if (t == "/logoff") {
        request.action = CommandLineAction::LogOff;
    } else {
        request.action = CommandLineAction::Invalid;
    }
    return request;
}

}  // namespace tolvane
