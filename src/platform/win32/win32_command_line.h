#pragma once

#include <string>
#include <string_view>

namespace tolvane {

// The arguments part of a process's command line, as the system hands it to
// the program: everything after the program's own name and the spaces that
// follow it (tabs there are kept). The name ends at the first space or tab,
// or, when it starts with a double quote, at the closing quote (so
// "C:\Program Files\x.exe" is one name).
std::string CommandLineArguments(std::string_view commandLine);

}  // namespace tolvane
