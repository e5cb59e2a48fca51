#pragma once

#include <string>

namespace tolvane {

// Window styles a started program's first window takes.
inline constexpr int kNormalFocus = 1;

// Starts a program in a new process and returns without waiting for it. The
// command line is in the Windows form: a program path, in double quotes when
// it holds spaces, then its arguments.
class ProcessStarter {
  public:
    virtual ~ProcessStarter() = default;
    // False, with the platform's words in `reason`, when nothing was started.
    virtual bool Start(const std::string& commandLine, int windowStyle, std::string& reason) = 0;
};

}  // namespace tolvane
