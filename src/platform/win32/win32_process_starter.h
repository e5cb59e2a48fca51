#pragma once

#include <string_view>

#include "platform/process_starter.h"

namespace tolvane {

// CreateProcessA with no separate program name: the system takes the program
// from the command line, as the shell does. A batch file is run through the
// command interpreter by the system itself; one whose command line the
// interpreter would rewrite is not started.
// Whether the command interpreter, which the system runs a batch file with,
// would read this batch file's command line as something else: it replaces
// %NAME% (and !NAME! where delayed expansion is on) even inside quotation
// marks, and a line break ends its command. A folder named "%TEMP%" would
// start the batch file of another folder.
bool InterpreterWouldRewrite(std::string_view commandLine);

class Win32ProcessStarter final : public ProcessStarter {
  public:
    bool Start(const std::string& commandLine, int windowStyle, std::string& reason) override;
};

}  // namespace tolvane
