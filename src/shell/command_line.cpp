#include "shell/command_line.h"

#include <algorithm>
#include <iterator>
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

std::string CommandLineText(const std::vector<std::string>& arguments) {
    static constexpr std::string_view kWords[] = {"reboot", "shutdown", "lock", "logoff", "force"};
    std::string text;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) text += ' ';
        const std::string_view argument = arguments[i];
        const bool dashed =
            argument.substr(0, 2) == "--" &&
            std::find(std::begin(kWords), std::end(kWords), argument.substr(2)) != std::end(kWords);
        if (dashed) {
            text += '/';
            text += argument.substr(2);
        } else {
            text += argument;
        }
    }
    return text;
}

}  // namespace tolvane
