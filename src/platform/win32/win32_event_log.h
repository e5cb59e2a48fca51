#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <utility>

#include "platform/service_log.h"
#include "shell/handler_guard.h"

namespace tolvane {

// The source every entry is written under, the window's and the service's
// alike: the one installs.bat registers, with tolvane-service.exe's message
// table, so both programs' entries read as their text.
inline constexpr const char* kEventSource = "Tolvane";

// The event ids of the program's message table; each message is its one text.
inline constexpr DWORD kEventInfo = 1;
inline constexpr DWORD kEventError = 2;

// The Windows event log (Application), under the source "Tolvane".
class Win32EventLog final : public ServiceLog {
  public:
    // Writes one entry: the event type (EVENTLOG_INFORMATION_TYPE and so on),
    // the event id, and the text.
    using Writer = std::function<void(WORD type, DWORD eventId, const std::string& text)>;

    // Through RegisterEventSourceA and ReportEventA.
    Win32EventLog();
    explicit Win32EventLog(Writer writer) : write_(std::move(writer)) {}

    void Info(const std::string& text) override {
        write_(EVENTLOG_INFORMATION_TYPE, kEventInfo, text);
    }
    void Error(const std::string& text) override { write_(EVENTLOG_ERROR_TYPE, kEventError, text); }
    void Record(const ActionRecord& record) override {
        record.error ? Error(record.message) : Info(record.message);
    }

  private:
    Writer write_;
};

// Where the window writes a handler's failure: an error entry of `log`, as
// nobody reads a window program's standard error. Keeps its own copy of `log`.
HandlerFailureLog EventLogFailures(Win32EventLog log);

}  // namespace tolvane
