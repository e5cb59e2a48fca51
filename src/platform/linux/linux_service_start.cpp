#include "platform/linux/linux_service_start.h"

#include "service/service_arguments.h"

namespace tolvane {

LinuxServiceStart TakeServiceUser(uid_t runningAs, const std::optional<std::uint32_t>& user,
                                  const UserIdentitySteps& steps) {
    LinuxServiceStart start;
    start.problem = ServiceUserProblem(runningAs, user);
    if (!start.problem.empty()) {
        start.exitStatus = kServiceRefused;
        return start;
    }
    start.owner = user.value_or(runningAs);
    start.ownerName = std::to_string(start.owner);
    if (runningAs != 0) return start;
    const auto identity = steps.lookUp(start.owner, start.problem);
    if (!identity) {
        start.exitStatus = kServiceRefused;
        return start;
    }
    // A user database that answers with another user is not to be believed:
    // the service would act for somebody it was not installed for.
    if (identity->uid != start.owner) {
        start.problem = "the user database gave uid " + std::to_string(identity->uid) +
                        " for the number " + std::to_string(start.owner);
        start.exitStatus = kServiceRefused;
        return start;
    }
    if (!identity->name.empty()) start.ownerName = identity->name;
    if (!steps.useRightsForFiles(*identity, start.problem)) start.exitStatus = 1;
    return start;
}

}  // namespace tolvane
