#include "platform/linux/posix_admin_only.h"

#include <errno.h>
#include <limits.h>
#include <string.h>
#include <sys/stat.h>
#include <unistd.h>

#include <deque>
#include <utility>
#include <vector>

namespace tolvane {
namespace {

// As many links as the kernel follows in one path before it gives up (ELOOP).
constexpr int kMostLinks = 40;

int LookUpOnDisk(const std::string& path, PathEntry& entry) {
    struct stat about {};
    if (::lstat(path.c_str(), &about) != 0) return errno;
    entry.owner = about.st_uid;
    entry.group = about.st_gid;
    entry.mode = about.st_mode;
    entry.linkTarget.clear();
    if (S_ISLNK(about.st_mode)) {
        std::string target(PATH_MAX, '\0');
        const ssize_t length = ::readlink(path.c_str(), target.data(), target.size());
        if (length < 0) return errno;
        target.resize(static_cast<std::size_t>(length));
        entry.linkTarget = std::move(target);
    }
    return 0;
}

std::string WorkingFolder() {
    std::string folder(PATH_MAX, '\0');
    if (!::getcwd(folder.data(), folder.size())) return {};
    folder.resize(::strlen(folder.c_str()));
    return folder;
}

std::deque<std::string> Names(const std::string& path) {
    std::deque<std::string> names;
    std::size_t start = 0;
    while (start <= path.size()) {
        std::size_t end = path.find('/', start);
        if (end == std::string::npos) end = path.size();
        if (end > start) names.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return names;
}

std::string Joined(const std::vector<std::string>& names) {
    if (names.empty()) return "/";
    std::string path;
    for (const std::string& name : names) path += "/" + name;
    return path;
}

std::string Unexaminable(const std::string& path, int error) {
    return path + " cannot be examined: " + ::strerror(error);
}

// Who besides root can change `path`, judged by its own entry; a folder above
// the path's own folder may be written by others when its sticky bit keeps
// them off root's names in it.
std::string Judge(const std::string& path, const PathEntry& entry, bool stickyWillDo) {
    if (entry.owner != 0) {
        return path + " is owned by uid " + std::to_string(entry.owner) + ", not root";
    }
    // An ACL's named users and groups can write only where its mask lets them,
    // and the mask is what st_mode shows as the group's bits.
    const bool othersWrite = (entry.mode & (S_IWGRP | S_IWOTH)) != 0;
    if (!othersWrite) return {};
    if (stickyWillDo && S_ISDIR(entry.mode) && (entry.mode & S_ISVTX) != 0) return {};
    if (entry.mode & S_IWOTH) return path + " is writable by everyone";
    return path + " is writable by group " + std::to_string(entry.group);
}

}  // namespace

PosixAdminOnlyCheck::PosixAdminOnlyCheck() : lookUp_(LookUpOnDisk) {}

PosixAdminOnlyCheck::PosixAdminOnlyCheck(LookUpPathEntry lookUp, std::string workingFolder)
    : lookUp_(std::move(lookUp)), workingFolder_(std::move(workingFolder)) {}

std::string PosixAdminOnlyCheck::WhyOthersCanChange(const std::string& path) {
    if (path.empty()) return "an empty path names no file";
    std::deque<std::string> rest = Names(path);
    if (path.front() != '/') {
        const std::string base = workingFolder_.empty() ? WorkingFolder() : workingFolder_;
        if (base.empty() || base.front() != '/') {
            return path + " cannot be examined: the working folder is unknown";
        }
        std::deque<std::string> above = Names(base);
        rest.insert(rest.begin(), above.begin(), above.end());
    }

    // The folders walked so far below /, each with its entry; the last is
    // the folder the next name is looked up in.
    std::vector<std::string> names;
    PathEntry root;
    if (const int error = lookUp_("/", root)) return Unexaminable("/", error);
    std::vector<PathEntry> entries{root};
    int links = 0;
    while (true) {
        if (!rest.empty() && rest.front() == ".") {
            rest.pop_front();
            continue;
        }
        // Every folder walked is a real folder, never a link, so its parent
        // is the one walked before it.
        if (!rest.empty() && rest.front() == "..") {
            rest.pop_front();
            if (!names.empty()) {
                names.pop_back();
                entries.pop_back();
            }
            continue;
        }
        const std::string here = Joined(names);
        const PathEntry& folder = entries.back();
        if (rest.empty()) return Judge(here, folder, false);
        if (!S_ISDIR(folder.mode)) return here + " is not a folder";

        const std::string name = rest.front();
        rest.pop_front();
        names.push_back(name);
        const std::string next = Joined(names);
        names.pop_back();
        PathEntry entry;
        const int error = lookUp_(next, entry);
        // Missing is told by the read; only root can make what is missing
        // when the last folder that is there is root's alone.
        if (error == ENOENT || error == ENOTDIR) return Judge(here, folder, false);
        if (error != 0) return Unexaminable(next, error);

        const bool isLink = S_ISLNK(entry.mode);
        // The folder that holds the path itself, or a link, may not be
        // written by others at all: sticky or not, they could add names there.
        if (std::string why = Judge(here, folder, !rest.empty() && !isLink); !why.empty()) {
            return why;
        }
        if (!isLink) {
            names.push_back(name);
            entries.push_back(entry);
            continue;
        }
        if (entry.owner != 0) {
            return next + " is a link owned by uid " + std::to_string(entry.owner) + ", not root";
        }
        if (++links > kMostLinks || entry.linkTarget.empty()) {
            return Unexaminable(next, ELOOP);
        }
        std::deque<std::string> target = Names(entry.linkTarget);
        rest.insert(rest.begin(), target.begin(), target.end());
        if (entry.linkTarget.front() == '/') {
            names.clear();
            entries.resize(1);
        }
    }
}

}  // namespace tolvane
