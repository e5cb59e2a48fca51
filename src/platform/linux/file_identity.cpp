#include "platform/linux/file_identity.h"

#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/fsuid.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdint>
#include <cstring>

namespace tolvane {

namespace {

std::optional<UserIdentity> ReadUserDatabase(uid_t uid, std::string& error) {
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
    UserIdentity user{entry.pw_uid, entry.pw_gid, {}, entry.pw_name};
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

// The child's answer on the pipe: this, then the groups, then the text: the
// user's name when found, the error otherwise.
struct Answer {
    std::uint32_t found;
    uid_t uid;
    gid_t gid;
    std::uint32_t groups;
    std::uint32_t textBytes;
};

bool WriteAll(int fd, const void* data, std::size_t size) {
    const char* next = static_cast<const char*>(data);
    while (size > 0) {
        const ssize_t written = ::write(fd, next, size);
        if (written < 0 && errno == EINTR) continue;
        if (written <= 0) return false;
        next += written;
        size -= static_cast<std::size_t>(written);
    }
    return true;
}

std::string ReadAll(int fd) {
    std::string read;
    char chunk[4096];
    for (;;) {
        const ssize_t got = ::read(fd, chunk, sizeof chunk);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return read;
        read.append(chunk, static_cast<std::size_t>(got));
    }
}

[[noreturn]] void AnswerFromChild(int fd, uid_t uid) {
    std::string error;
    const auto user = ReadUserDatabase(uid, error);
    const std::string& text = user ? user->name : error;
    const Answer answer{user ? 1u : 0u, user ? user->uid : 0, user ? user->gid : 0,
                        user ? static_cast<std::uint32_t>(user->groups.size()) : 0,
                        static_cast<std::uint32_t>(text.size())};
    const bool sent =
        WriteAll(fd, &answer, sizeof answer) &&
        (!user || WriteAll(fd, user->groups.data(), user->groups.size() * sizeof(gid_t))) &&
        WriteAll(fd, text.data(), text.size());
    // No exit handlers: they belong to the parent.
    ::_exit(sent ? 0 : 1);
}

}  // namespace

std::optional<UserIdentity> LookUpUser(uid_t uid, std::string& error) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) {
        error = std::string("the user database could not be asked: ") + std::strerror(errno);
        return std::nullopt;
    }
    const pid_t child = ::fork();
    if (child == 0) {
        ::close(ends[0]);
        AnswerFromChild(ends[1], uid);
    }
    const int forkError = errno;
    ::close(ends[1]);
    const std::string answered = child > 0 ? ReadAll(ends[0]) : std::string();
    ::close(ends[0]);
    if (child < 0) {
        error = std::string("the user database could not be asked: ") + std::strerror(forkError);
        return std::nullopt;
    }
    int status = 0;
    while (::waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
    Answer answer{};
    bool whole = WIFEXITED(status) && WEXITSTATUS(status) == 0 && answered.size() >= sizeof answer;
    if (whole) {
        std::memcpy(&answer, answered.data(), sizeof answer);
        whole = answered.size() ==
                sizeof answer + std::size_t{answer.groups} * sizeof(gid_t) + answer.textBytes;
    }
    if (!whole) {
        error = "the user database gave no answer for the number " + std::to_string(uid);
        return std::nullopt;
    }
    const char* groups = answered.data() + sizeof answer;
    const char* text = groups + std::size_t{answer.groups} * sizeof(gid_t);
    if (!answer.found) {
        error.assign(text, answer.textBytes);
        return std::nullopt;
    }
    UserIdentity user{answer.uid, answer.gid, std::vector<gid_t>(answer.groups),
                      std::string(text, answer.textBytes)};
    std::memcpy(user.groups.data(), groups, user.groups.size() * sizeof(gid_t));
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
