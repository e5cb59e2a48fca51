#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace tolvane {

// Where a front end writes a handler's failure: standard error, or the
// system's log where nobody reads standard error.
using HandlerFailureLog = std::function<void(const std::string& line)>;

// Runs the handler of one event of the window. Whatever it throws ends the
// work of that one event only: nothing may unwind into the toolkit's or the
// system's code, and the window, its timer and the schedule go on. The
// failure is logged with the event's name, so it is not lost in silence.
void RunHandler(std::string_view event, const std::function<void()>& handler,
                const HandlerFailureLog& log) noexcept;

}  // namespace tolvane
