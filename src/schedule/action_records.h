#pragma once

#include <string>
#include <string_view>

#include "power/action.h"

namespace tolvane {

// The outcome of an action, as records of actions name it (TOLVANE_RESULT).
// Requested, and accepted:
inline constexpr std::string_view kRecordDone = "done";
// The request failed or was turned down:
inline constexpr std::string_view kRecordFailed = "failed";
// Its schedule was refused, or its user said no:
inline constexpr std::string_view kRecordRefused = "refused";
// Not run: skipped, already run, another acted:
inline constexpr std::string_view kRecordSkipped = "skipped";

// Whom a machine line acts for: every user, and the machine itself. No
// user's name can be written so.
inline constexpr std::string_view kRecordAllUsers = "(all users)";

// The sentences of the records, the same from the window and the services.
std::string RequestedRecord(Action action, std::string_view line);
std::string FailedRecord(Action action, std::string_view line, std::string_view reason);
std::string MachineActsRecord(std::string_view line);
std::string NothingToDoRecord(std::string_view line);

}  // namespace tolvane
