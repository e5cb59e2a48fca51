#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "platform/linux/stderr_service_log.h"
#include "platform/service_log.h"

namespace tolvane {

// Where journald takes entries in its native protocol.
inline constexpr const char* kJournalSocket = "/run/systemd/journal/socket";

// One journal entry's fields in journald's native form: "NAME=value\n", or,
// for a value with a line break in it, the name, a line break, the value's
// length as 64-bit little-endian, the value and a line break.
std::string JournalEntryBytes(const std::vector<std::pair<std::string, std::string>>& fields);

// The service's log in the journal, under the identifier "tolvane": records
// of actions carry TOLVANE_LINE, TOLVANE_SCHEDULE, TOLVANE_USER and
// TOLVANE_RESULT, so `journalctl -t tolvane TOLVANE_RESULT=done` lists what
// was done. The fields hold the bytes as written; the message is escaped to
// one plain line, as on standard error. Where the journal does not take an
// entry (no journald, as on a bare build machine), the entry goes to standard
// error instead, so nothing is lost.
class JournalServiceLog final : public ServiceLog {
  public:
    explicit JournalServiceLog(std::string socketPath = kJournalSocket);
    ~JournalServiceLog() override;
    JournalServiceLog(const JournalServiceLog&) = delete;
    JournalServiceLog& operator=(const JournalServiceLog&) = delete;

    void Info(const std::string& text) override;
    void Error(const std::string& text) override;
    void Record(const ActionRecord& record) override;

  private:
    bool Send(const std::string& bytes);
    bool SendThroughMemory(const std::string& bytes);

    std::string socketPath_;
    int socket_ = -1;
    StderrServiceLog fallback_;
};

}  // namespace tolvane
