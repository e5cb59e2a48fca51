#include "platform/win32/win32_event_log.h"

#include <memory>

#include "schedule/log_text.h"

namespace tolvane {

Win32EventLog::Win32EventLog() {
    // Registered once; the handle lives as long as any copy of the writer.
    std::shared_ptr<void> source(RegisterEventSourceA(nullptr, kEventSource), [](HANDLE h) {
        if (h) DeregisterEventSource(h);
    });
    write_ = [source](WORD type, DWORD eventId, const std::string& text) {
        if (!source) return;
        // Texts carry schedule lines and paths a user wrote: one plain line each.
        const std::string line = EscapeForLog(text, LogBytes::CodePage);
        const char* strings[] = {line.c_str()};
        ReportEventA(source.get(), type, 0, eventId, nullptr, 1, 0, strings, nullptr);
    };
}

HandlerFailureLog EventLogFailures(Win32EventLog log) {
    return [log = std::move(log)](const std::string& line) mutable { log.Error(line); };
}

}  // namespace tolvane
