#pragma once

#include <string_view>

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

}  // namespace tolvane
