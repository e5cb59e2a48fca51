#include "platform/win32/win32_event_log.h"

#include <memory>

#include "schedule/action_records.h"
#include "schedule/log_text.h"

namespace tolvane {

Win32EventLog::Win32EventLog() {
    // Registered once; the handle lives as long as any copy of the writer.
    std::shared_ptr<void> source(RegisterEventSourceA(nullptr, kEventSource), [](HANDLE h) {
        if (h) DeregisterEventSource(h);
    });
    write_ = [source](WORD type, DWORD eventId, const std::string& text) {
        if (!source) return;
        const char* strings[] = {text.c_str()};
        ReportEventA(source.get(), type, 0, eventId, nullptr, 1, 0, strings, nullptr);
    };
}

void Win32EventLog::Info(const std::string& text) {
    write_(EVENTLOG_INFORMATION_TYPE, kEventInfo, EscapeForLog(text, LogBytes::CodePage));
}

void Win32EventLog::Error(const std::string& text) {
    write_(EVENTLOG_ERROR_TYPE, kEventError, EscapeForLog(text, LogBytes::CodePage));
}

void Win32EventLog::Record(const ActionRecord& record) {
    write_(record.error ? EVENTLOG_ERROR_TYPE : EVENTLOG_INFORMATION_TYPE, RecordEventId(record),
           RecordText(record, "\r\n"));
}

DWORD RecordEventId(const ActionRecord& record) {
    if (record.result == kRecordDone) return kEventDone;
    if (record.result == kRecordFailed) return kEventFailed;
    if (record.result == kRecordRefused) return kEventRefused;
    if (record.result == kRecordSkipped) return kEventSkipped;
    return record.error ? kEventError : kEventInfo;
}

std::string RecordText(const ActionRecord& record, const char* separator) {
    const auto safe = [](const std::string& text) {
        return text.empty() ? std::string("(none)") : EscapeForLog(text, LogBytes::CodePage);
    };
    return EscapeForLog(record.message, LogBytes::CodePage) + separator +
           "Line: " + safe(record.line) + separator + "Schedule: " + safe(record.schedule) +
           separator + "User: " + safe(record.user) + separator + "Result: " + safe(record.result);
}

HandlerFailureLog EventLogFailures(Win32EventLog log) {
    return [log = std::move(log)](const std::string& line) mutable { log.Error(line); };
}

}  // namespace tolvane
