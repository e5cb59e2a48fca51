#pragma once

#include <string>

#include "platform/action_journal.h"

namespace tolvane {

// Where a service writes what it did: the system's log. Records of actions
// carry their facts as fields where the log keeps fields.
class ServiceLog : public ActionJournal {
  public:
    virtual void Info(const std::string& text) = 0;
    virtual void Error(const std::string& text) = 0;
};

}  // namespace tolvane
