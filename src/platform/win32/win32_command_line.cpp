#include "platform/win32/win32_command_line.h"

namespace tolvane {

namespace {
bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
}  // namespace

std::string CommandLineArguments(std::string_view commandLine) {
    std::size_t at = 0;
    if (!commandLine.empty() && commandLine[0] == '"') {
        const std::size_t closing = commandLine.find('"', 1);
        // An unclosed quote takes the rest of the line as the name.
        at = closing == std::string_view::npos ? commandLine.size() : closing + 1;
    } else {
        while (at < commandLine.size() && !IsBlank(commandLine[at])) ++at;
    }
    // Only spaces part the name from the options: a tab stays, and the
    // options then read as invalid.
    while (at < commandLine.size() && commandLine[at] == ' ') ++at;
    return std::string(commandLine.substr(at));
}

}  // namespace tolvane
