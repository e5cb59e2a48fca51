#include "shell/handler_guard.h"

#include <exception>

namespace tolvane {

namespace {

void Tell(const HandlerFailureLog& log, std::string_view event, std::string_view why) noexcept {
    if (!log) return;
    try {
        log("tolvane: " + std::string(event) + " failed: " + std::string(why));
    } catch (...) {
        // A log that cannot be written leaves nothing more to do.
    }
}

}  // namespace

void RunHandler(std::string_view event, const std::function<void()>& handler,
                const HandlerFailureLog& log) noexcept {
    try {
        handler();
    } catch (const std::exception& failure) {
        Tell(log, event, failure.what());
    } catch (...) {
        Tell(log, event, "an error of no known kind");
    }
}

}  // namespace tolvane
