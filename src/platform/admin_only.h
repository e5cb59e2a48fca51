#pragma once

#include <string>

namespace tolvane {

// Whether a file is the administrators' alone: the machine's schedule runs
// with every right, so nobody else may be able to change it.
class AdminOnlyCheck {
  public:
    virtual ~AdminOnlyCheck() = default;
    // Empty when only administrators can change the file at `path` (and so
    // replace it: every folder above it too); otherwise why not, naming the
    // file or folder and who else can write it. A missing file is a problem
    // of its own ("missing"), told apart by the caller through the read.
    virtual std::string WhyOthersCanChange(const std::string& path) = 0;
};

}  // namespace tolvane
