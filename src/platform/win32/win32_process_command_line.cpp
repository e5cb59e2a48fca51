#include "platform/win32/win32_process_command_line.h"

namespace tolvane {

namespace {

void AppendArgument(std::string& line, std::string_view argument) {
    if (!argument.empty() && argument.find_first_of(" \t\n\v\"&|<>^(),;=") == argument.npos) {
        line += argument;
        return;
    }
    line += '"';
    std::size_t backslashes = 0;
    for (const char c : argument) {
        if (c == '\\') {
            ++backslashes;
            continue;
        }
        // Backslashes count only before a quote: then each is doubled, and
        // one more makes the quote itself text.
        line.append(c == '"' ? backslashes * 2 + 1 : backslashes, '\\');
        backslashes = 0;
        line += c;
    }
    // The closing quote follows them.
    line.append(backslashes * 2, '\\');
    line += '"';
}

}  // namespace

std::string ProcessCommandLine(std::string_view program,
                               const std::vector<std::string>& arguments) {
    std::string line = "\"";
    line += program;
    line += '"';
    for (const std::string& argument : arguments) {
        line += ' ';
        AppendArgument(line, argument);
    }
    return line;
}

}  // namespace tolvane
