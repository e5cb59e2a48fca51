#pragma once

#include "platform/process_starter.h"

namespace tolvane {

// CreateProcessA with no separate program name: the system takes the program
// from the command line, as the shell does. A batch file is run through the
// command interpreter by the system itself.
class Win32ProcessStarter final : public ProcessStarter {
  public:
    bool Start(const std::string& commandLine, int windowStyle, std::string& reason) override;
};

}  // namespace tolvane
