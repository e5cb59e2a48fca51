#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "power/action.h"

namespace tolvane {

// What a command line asks of the window: the Force box checked first, then
// one of the Now buttons pressed; or nothing; or text none of the options.
struct CommandLineRequest {
    bool force = false;
    std::optional<ActionKind> what;
    bool invalid = false;
    bool operator==(const CommandLineRequest&) const = default;
};

// Reads the text after the program's name: outer spaces off and lower case;
// "/force" anywhere asks for the forced variant and is taken out; then, with
// every space removed, the rest must be exactly one of "/reboot", "/shutdown",
// "/lock", "/logoff". Text that is empty from the start asks for nothing.
CommandLineRequest ParseCommandLine(std::string_view commandLine);

// The command-line text of a program started with separate arguments (a
// Linux shell's): each joined to the next by one blank, with the options in
// a Linux user's habit, "--reboot", "--shutdown", "--lock", "--logoff" and
// "--force", written as the program's own "/reboot" ... "/force". Any other
// argument stays as given.
std::string CommandLineText(const std::vector<std::string>& arguments);

}  // namespace tolvane
