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
// One id per outcome of an action, so the log can be filtered by what became
// of it ("what shut this machine down?" is every entry of id 3).
inline constexpr DWORD kEventDone = 3;
inline constexpr DWORD kEventFailed = 4;
inline constexpr DWORD kEventRefused = 5;
inline constexpr DWORD kEventSkipped = 6;

// The event id for a record's result; an unknown result goes by its priority.
DWORD RecordEventId(const ActionRecord& record);

// A record as one text: its sentence, then "Line: ", "Schedule: ", "User: "
// and "Result: " with their facts, each made safe for the log on its own, so
// a schedule line cannot pass itself off as another fact. `separator` goes
// between them: a line break in the event log, "; " on the console.
std::string RecordText(const ActionRecord& record, const char* separator);

// The Windows event log (Application), under the source "Tolvane".
class Win32EventLog final : public ServiceLog {
  public:
    // Writes one entry: the event type (EVENTLOG_INFORMATION_TYPE and so on),
    // the event id, and the text, made safe for the log already.
    using Writer = std::function<void(WORD type, DWORD eventId, const std::string& text)>;

    // Through RegisterEventSourceA and ReportEventA.
    Win32EventLog();
    explicit Win32EventLog(Writer writer) : write_(std::move(writer)) {}

    // Texts carry schedule lines and paths a user wrote: one plain line each.
    void Info(const std::string& text) override;
    void Error(const std::string& text) override;
    void Record(const ActionRecord& record) override;

  private:
    Writer write_;
};

// Where the window writes a handler's failure: an error entry of `log`, as
// nobody reads a window program's standard error. Keeps its own copy of `log`.
HandlerFailureLog EventLogFailures(Win32EventLog log);

}  // namespace tolvane
