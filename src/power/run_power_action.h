#pragma once

#include <string>

#include "platform/system_power.h"
#include "schedule/schedule_matching.h"

namespace tolvane {

// Requests `action`: the one place where a schedule line's action, or a
// button's, becomes a request of the platform. Returns false, with the
// platform's words in `reason`, when it was refused at once. Nothing to do
// (None) requests nothing and counts as done.
bool RunPowerAction(SystemPower& power, PowerAction action, std::string& reason);

}  // namespace tolvane
