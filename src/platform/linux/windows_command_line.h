#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace tolvane {

// Cuts a command line in the Windows form (the core builds them so: a program
// path in double quotes, then arguments) into the program and its arguments,
// by the rules Windows programs read their own command line with: blanks
// separate arguments outside quotes; a quote opens or closes a quoted part and
// is itself dropped; 2n backslashes before a quote give n backslashes, 2n+1
// give n backslashes and a literal quote; other backslashes stay as they are.
std::vector<std::string> SplitWindowsCommandLine(std::string_view commandLine);

}  // namespace tolvane
