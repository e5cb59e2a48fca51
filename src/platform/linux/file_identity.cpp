#include "platform/linux/file_identity.h"

#include <grp.h>
#include <pwd.h>
#include <sys/fsuid.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace tolvane {

std::optional<UserIdentity> LookUpUser(uid_t uid, std::string& error) {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    int failed = 0;
    while ((failed = ::getpwuid_r(uid, &entry, buffer.data(), buffer.size(), &found)) == ERANGE &&
           buffer.size() < (1u << 20)) {
        buffer.resize(buffer.size() * 2);
    }
    if (failed != 0 || !found) {
        error = "no user with the number " + std::to_string(uid) +
                (failed != 0 ? std::string(": ") + std::strerror(failed) : std::string());
        return std::nullopt;
    }
    UserIdentity user{entry.pw_uid, entry.pw_gid, {}};
    int count = 32;
    std::vector<gid_t> groups(static_cast<std::size_t>(count));
    while (::getgrouplist(entry.pw_name, entry.pw_gid, groups.data(), &count) < 0) {
        groups.resize(static_cast<std::size_t>(count) + 1);
        count = static_cast<int>(groups.size());
    }
    groups.resize(static_cast<std::size_t>(count));
    user.groups = std::move(groups);
    return user;
}

bool UseUsersRightsForFiles(const UserIdentity& user, std::string& error) {
    if (::setgroups(user.groups.size(), user.groups.data()) != 0) {
        error = std::string("the user's groups could not be taken: ") + std::strerror(errno);
        return false;
    }
    // Both calls answer with the identity held before, never with an error;
    // asking again with an impossible id reads back what was taken.
    ::setfsgid(user.gid);
    ::setfsuid(user.uid);
    const auto heldGid = static_cast<gid_t>(::setfsgid(static_cast<gid_t>(-1)));
    const auto heldUid = static_cast<uid_t>(::setfsuid(static_cast<uid_t>(-1)));
    if (heldGid != user.gid || heldUid != user.uid) {
        error = "the user's file-system identity could not be taken (it is uid " +
                std::to_string(heldUid) + ", gid " + std::to_string(heldGid) + ")";
        return false;
    }
    return true;
}

}  // namespace tolvane
