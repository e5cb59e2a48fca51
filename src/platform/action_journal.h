#pragma once

#include <string>

namespace tolvane {

// What became of one action of a schedule line, or of a button: the four
// facts an administrator asks "what shut this machine down, and why".
struct ActionRecord {
    // The sentence a person reads in the log ("Requested forced reboot for: ...").
    std::string message;
    std::string line;      // the schedule line as written; empty for a button
    std::string schedule;  // the schedule file's path (the user's or the machine's)
    std::string user;      // whom it acted for: a user's name, or the machine's word
    // "done", "failed", "refused" or "skipped" (schedule/action_records.h
    // says which is which).
    std::string result;
    bool error = false;  // logged at error priority
};

// Where records of actions go: the system's log, queryable by their facts.
class ActionJournal {
  public:
    virtual ~ActionJournal() = default;
    virtual void Record(const ActionRecord& record) = 0;
};

}  // namespace tolvane
