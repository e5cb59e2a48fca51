#pragma once

#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tolvane {

// A user as the kernel checks file access: uid, primary group and the
// supplementary groups.
struct UserIdentity {
    uid_t uid = 0;
    gid_t gid = 0;
    std::vector<gid_t> groups;
    std::string name;  // as the user database has it, for the records of actions
};

// The identity of the user with this number, from the user database; nothing,
// with the reason in `error`, when there is no such user. The database is read
// in a child process, so the modules nsswitch.conf names (systemd, sss,
// ldap...) and the libraries they bring are never loaded into the caller,
// which may run for months. It forks: call it while the process has one
// thread.
std::optional<UserIdentity> LookUpUser(uid_t uid, std::string& error);

// From now on every file operation of this process is checked as `user`'s:
// its groups for the whole process, its file-system uid and gid for this
// thread and every thread started after it (call it before any other starts).
// The real and effective uid stay, so root's calls to logind stay root's.
// False, with the reason, when the kernel did not take every part of it.
bool UseUsersRightsForFiles(const UserIdentity& user, std::string& error);

}  // namespace tolvane
