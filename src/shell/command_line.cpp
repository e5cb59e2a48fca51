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

    for (const ActionFacts& facts : AllActions()) {
        if (t.size() == facts.optionWord.size() + 1 && t[0] == '/' &&
            t.substr(1) == facts.optionWord) {
            request.what = facts.what;
        }
    }
    request.invalid = !request.what;
    return request;
}

std::string CommandLineText(const std::vector<std::string>& arguments) {
    std::string text;
    for (std::size_t i = 0; i < arguments.size(); ++i) {
        if (i > 0) text += ' ';
        const std::string_view argument = arguments[i];
        const std::string_view word = argument.substr(std::min<std::size_t>(2, argument.size()));
        const auto actions = AllActions();
        const bool dashed =
            argument.substr(0, 2) == "--" &&
            (word == "force" ||
             std::any_of(actions.begin(), actions.end(),
                         [&](const ActionFacts& facts) { return facts.optionWord == word; }));
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
