#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

// The command line a program is started with on Windows. The program's path
// comes first, always in double quotes, so a path with blanks is one name and
// the system looks for no shorter one; it must hold no double quote, which
// that quoting cannot carry. Each argument follows as one piece by the rules
// programs read their command line with: in quotes when it is empty or holds
// a blank or a sign the command interpreter reads, with a backslash before
// each quote inside and the backslashes that precede a quote doubled.
std::string ProcessCommandLine(std::string_view program, const std::vector<std::string>& arguments);

}  // namespace tolvane
