#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace tolvane {

// Starts a program in a new process and returns without waiting for it. The
// program is a path (or a name the platform looks up), each argument reaches
// it as one piece; its first window opens normally, with the focus. A program
// waited for has its standard error read by the starter; its standard input
// and output are left as they would be otherwise.
class ProcessStarter {
  public:
    virtual ~ProcessStarter() = default;
    // How a started program ended, told later on the window's thread: whether
    // it ended with status 0, otherwise how it ended, in words, and the end
    // of what it wrote to its standard error (the last kErrorOutputKept bytes
    // at most, as written; empty when it wrote nothing there).
    using Ended = std::function<void(bool succeeded, const std::string& how,
                                     const std::string& errorOutput)>;
    static constexpr std::size_t kErrorOutputKept = 4096;

    // False, with the platform's words in `reason`, when nothing was started.
    // `ended`, when given, hears how the program ended.
    virtual bool Start(const std::string& program, const std::vector<std::string>& arguments,
                       std::string& reason, Ended ended) = 0;
};

}  // namespace tolvane
