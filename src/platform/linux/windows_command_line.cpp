#include "platform/linux/windows_command_line.h"

namespace tolvane {

std::vector<std::string> SplitWindowsCommandLine(std::string_view commandLine) {
    std::vector<std::string> arguments;
    std::string current;
    bool inArgument = false;
    bool quoted = false;
    for (std::size_t i = 0; i < commandLine.size(); ++i) {
        const char c = commandLine[i];
        if (c == '\\') {
            std::size_t run = 0;
            while (i + run < commandLine.size() && commandLine[i + run] == '\\') ++run;
            const bool beforeQuote = i + run < commandLine.size() && commandLine[i + run] == '"';
            current.append(beforeQuote ? run / 2 : run, '\\');
            i += run - 1;
            inArgument = true;
            if (beforeQuote && run % 2 == 1) {
                current += '"';
                ++i;  // the escaped quote
            }
            continue;
        }
        if (c == '"') {
            quoted = !quoted;
            inArgument = true;
            continue;
        }
        if ((c == ' ' || c == '\t') && !quoted) {
            if (inArgument) arguments.push_back(std::move(current));
            current.clear();
            inArgument = false;
            continue;
        }
        current += c;
        inArgument = true;
    }
    if (inArgument) arguments.push_back(std::move(current));
    return arguments;
}

}  // namespace tolvane
