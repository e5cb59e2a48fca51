#pragma once

#include <functional>
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
    // How a started program ended, told later on the window's thread: whether
    // it ended with status 0, and otherwise how it ended, in words.
    using Ended = std::function<void(bool succeeded, const std::string& how)>;

    // False, with the platform's words in `reason`, when nothing was started.
    // `ended`, when given, hears how the program ended.
    virtual bool Start(const std::string& commandLine, int windowStyle, std::string& reason,
                       Ended ended) = 0;
};

}  // namespace tolvane
