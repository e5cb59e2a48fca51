#pragma once

#include <sys/types.h>

#include <cstdint>
#include <functional>
#include <optional>
#include <string>

#include "platform/linux/file_identity.h"

namespace tolvane {

// The two steps that touch the process's identity, as the service takes them;
// tests hand in others.
struct UserIdentitySteps {
    std::function<std::optional<UserIdentity>(uid_t, std::string&)> lookUp = LookUpUser;
    std::function<bool(const UserIdentity&, std::string&)> useRightsForFiles =
        UseUsersRightsForFiles;
};

// Whose schedule the service carries out, and how its start went.
struct LinuxServiceStart {
    // 0: go on; kServiceRefused: the user may not be acted for (said with the
    // usage); 1: the user's rights could not be taken.
    int exitStatus = 0;
    std::string problem;  // why not, when exitStatus is not 0
    uid_t owner = 0;      // the user whose files and sessions these are
    // The owner as records of actions name it: the user database's name
    // where root looked it up, else the number.
    std::string ownerName;
};

// The service's user, taken before any path is looked at: the --user given
// (`user`) or else the one it runs as (`runningAs`, its effective uid), and
// only as service_arguments allows. Running as root, the user is looked up
// and every file operation from here on becomes the user's, so a link the
// user puts on the schedule's path can lead only where the user could go;
// root keeps its uid for the calls to logind alone. Any other user's files
// already are its own. Call it before any other thread starts, since the
// file identity is passed on to threads started later.
LinuxServiceStart TakeServiceUser(uid_t runningAs, const std::optional<std::uint32_t>& user,
                                  const UserIdentitySteps& steps = {});

}  // namespace tolvane
