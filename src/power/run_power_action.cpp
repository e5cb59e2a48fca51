#include "power/run_power_action.h"

namespace tolvane {

bool RunPowerAction(SystemPower& power, PowerAction action, std::string& reason) {
    switch (action) {
        case PowerAction::Reboot:
            return power.Reboot(false, reason);
        case PowerAction::RebootForced:
            return power.Reboot(true, reason);
        case PowerAction::ShutDown:
            return power.ShutDown(false, reason);
        case PowerAction::ShutDownForced:
            return power.ShutDown(true, reason);
        case PowerAction::LogOff:
            return power.LogOff(false, reason);
        case PowerAction::LogOffForced:
            return power.LogOff(true, reason);
        case PowerAction::Lock:
            return power.Lock(reason);
        case PowerAction::None:
            break;
    }
    return true;
}

}  // namespace tolvane
