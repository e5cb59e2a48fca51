#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

enum class CommandLineAction { None, Reboot, ShutDown, Lock, LogOff, Invalid };

struct CommandLineRequest {
    bool force = false;
    CommandLineAction action = CommandLineAction::None;
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
