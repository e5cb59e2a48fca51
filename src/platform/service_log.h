#pragma once

#include <string>

namespace tolvane {

// Where a service writes what it did: the system's log.
class ServiceLog {
  public:
    virtual ~ServiceLog() = default;
    virtual void Info(const std::string& text) = 0;
    virtual void Error(const std::string& text) = 0;
};

}  // namespace tolvane
