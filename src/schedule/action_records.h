#pragma once

#include <string_view>

namespace tolvane {

// The outcome of an action, as records of actions name it (TOLVANE_RESULT):
inline constexpr std::string_view kRecordDone = "done";        // requested, and accepted
inline constexpr std::string_view kRecordFailed = "failed";    // the request failed or was turned down
inline constexpr std::string_view kRecordRefused = "refused";  // its schedule was refused, or its user said no
inline constexpr std::string_view kRecordSkipped = "skipped";  // not run: skipped, already run, another acted

// Whom a machine line acts for: every user, and the machine itself. No
// user's name can be written so.
inline constexpr std::string_view kRecordAllUsers = "(all users)";

}  // namespace tolvane
