// Who besides root can change the machine's schedule or its state folder.
#include <errno.h>
#include <gtest/gtest.h>
#include <stdlib.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <map>
#include <optional>
#include <string>
#include <vector>

#include "platform/linux/posix_admin_only.h"

namespace tolvane {
namespace {

PathEntry Folder(uid_t owner = 0, mode_t permissions = 0755, gid_t group = 0) {
    return {owner, group, static_cast<mode_t>(S_IFDIR | permissions), {}};
}
PathEntry File(uid_t owner = 0, mode_t permissions = 0644, gid_t group = 0) {
    return {owner, group, static_cast<mode_t>(S_IFREG | permissions), {}};
}
PathEntry Link(std::string target, uid_t owner = 0) {
    return {owner, owner, static_cast<mode_t>(S_IFLNK | 0777), std::move(target)};
}

// A file system of names and entries; a name given no entry is missing, and
// one given an errno fails with it.
struct Tree {
    std::map<std::string, PathEntry> entries;
    std::map<std::string, int> failures;
    std::vector<std::string> looked;

    int LookUp(const std::string& path, PathEntry& entry) {
        looked.push_back(path);
        if (const auto failed = failures.find(path); failed != failures.end())
            return failed->second;
        const auto found = entries.find(path);
        if (found == entries.end()) return ENOENT;
        entry = found->second;
        return 0;
    }
};

// A machine where /etc/tolvane/rebootdata.kx and /var/lib/tolvane are root's alone,
// /tmp is the usual sticky folder and /home/ann is a user's.
std::map<std::string, PathEntry> Machine() {
    return {
        {"/", Folder()},
        {"/etc", Folder()},
        {"/etc/tolvane", Folder()},
        {"/etc/tolvane/rebootdata.kx", File()},
        {"/var", Folder()},
        {"/var/lib", Folder()},
        {"/var/lib/tolvane", Folder()},
        {"/tmp", Folder(0, 01777)},
        {"/tmp/ci", Folder()},
        {"/tmp/ci/machine", Folder()},
        {"/tmp/ci/machine/rebootdata.kx", File()},
        {"/home", Folder()},
        {"/home/ann", Folder(1000, 0700, 1000)},
        {"/home/ann/rebootdata.kx", File(1000, 0644, 1000)},
    };
}

// The machine with `changes` made, and what the check says of `path`.
struct Case {
    const char* what;
    std::map<std::string, PathEntry> changes;
    std::string path;
    std::string why;  // empty: root's alone
};

void ExpectJudged(const std::vector<Case>& cases) {
    for (const Case& c : cases) {
        Tree tree{Machine(), {}, {}};
        for (const auto& [path, entry] : c.changes) tree.entries[path] = entry;
        PosixAdminOnlyCheck check(
            [&](const std::string& p, PathEntry& e) { return tree.LookUp(p, e); });
        EXPECT_EQ(check.WhyOthersCanChange(c.path), c.why) << c.what;
    }
}

TEST(PosixAdminOnly, JudgesThePathAndEveryFolderAboveIt) {
    ExpectJudged({
        {"root's file in root's folders", {}, "/etc/tolvane/rebootdata.kx", ""},
        {"root's state folder", {}, "/var/lib/tolvane", ""},
        {"/ itself", {}, "/", ""},
        {"a user's file",
         {{"/etc/tolvane/rebootdata.kx", File(1000)}},
         "/etc/tolvane/rebootdata.kx",
         "/etc/tolvane/rebootdata.kx is owned by uid 1000, not root"},
        {"a group-writable file",
         {{"/etc/tolvane/rebootdata.kx", File(0, 0664, 27)}},
         "/etc/tolvane/rebootdata.kx",
         "/etc/tolvane/rebootdata.kx is writable by group 27"},
        {"a file everyone writes",
         {{"/etc/tolvane/rebootdata.kx", File(0, 0646)}},
         "/etc/tolvane/rebootdata.kx",
         "/etc/tolvane/rebootdata.kx is writable by everyone"},
        {"the file's folder a user's",
         {{"/etc/tolvane", Folder(1000)}},
         "/etc/tolvane/rebootdata.kx",
         "/etc/tolvane is owned by uid 1000, not root"},
        {"a folder higher up writable by a group",
         {{"/etc", Folder(0, 0775, 4)}},
         "/etc/tolvane/rebootdata.kx",
         "/etc is writable by group 4"},
        {"/ writable by everyone",
         {{"/", Folder(0, 0757)}},
         "/etc/tolvane/rebootdata.kx",
         "/ is writable by everyone"},
        {"a state folder writable by a group",
         {{"/var/lib/tolvane", Folder(0, 0775, 1000)}},
         "/var/lib/tolvane",
         "/var/lib/tolvane is writable by group 1000"},
        {"a state folder a user owns",
         {{"/var/lib/tolvane", Folder(1000)}},
         "/var/lib/tolvane",
         "/var/lib/tolvane is owned by uid 1000, not root"},
        {"a user's home",
         {},
         "/home/ann/rebootdata.kx",
         "/home/ann is owned by uid 1000, not root"},
    });
}

TEST(PosixAdminOnly, AStickyFolderWillDoOnlyTwoLevelsOrMoreAbove) {
    ExpectJudged({
        {"root's folder under sticky /tmp", {}, "/tmp/ci/machine/rebootdata.kx", ""},
        {"root's state folder under sticky /tmp", {}, "/tmp/ci/machine", ""},
        {"the file's own folder sticky",
         {{"/tmp/ci/machine", Folder(0, 01777)}},
         "/tmp/ci/machine/rebootdata.kx",
         "/tmp/ci/machine is writable by everyone"},
        {"a state folder right in /tmp", {}, "/tmp/ci", "/tmp is writable by everyone"},
        {"the sticky folder itself", {}, "/tmp", "/tmp is writable by everyone"},
        {"a sticky file is no sticky folder",
         {{"/tmp/ci/machine/rebootdata.kx", File(0, 01666)}},
         "/tmp/ci/machine/rebootdata.kx",
         "/tmp/ci/machine/rebootdata.kx is writable by everyone"},
        {"an upper folder everyone writes without the sticky bit",
         {{"/tmp", Folder(0, 0777)}},
         "/tmp/ci/machine/rebootdata.kx",
         "/tmp is writable by everyone"},
        {"a sticky upper folder a user owns",
         {{"/tmp", Folder(1000, 01777)}},
         "/tmp/ci/machine/rebootdata.kx",
         "/tmp is owned by uid 1000, not root"},
        {"a group-writable sticky upper folder",
         {{"/tmp", Folder(0, 01775, 50)}},
         "/tmp/ci/machine/rebootdata.kx",
         ""},
    });
}

TEST(PosixAdminOnly, FollowsOnlyRootsLinksAndJudgesWhereTheyLead) {
    ExpectJudged({
        {"a folder linked elsewhere by root",
         {{"/etc/tolvane", Link("/srv/tolvane")},
          {"/srv", Folder()},
          {"/srv/tolvane", Folder()},
          {"/srv/tolvane/rebootdata.kx", File()}},
         "/etc/tolvane/rebootdata.kx",
         ""},
        {"a relative link",
         {{"/etc/tolvane", Link("../srv/./tolvane")},
          {"/srv", Folder()},
          {"/srv/tolvane", Folder()},
          {"/srv/tolvane/rebootdata.kx", File()}},
         "/etc/tolvane/rebootdata.kx",
         ""},
        {"root's link into a user's folder",
         {{"/etc/tolvane", Link("/home/ann")}},
         "/etc/tolvane/rebootdata.kx",
         "/home/ann is owned by uid 1000, not root"},
        {"root's link into a folder a group writes",
         {{"/etc/tolvane", Link("/srv/tolvane")},
          {"/srv", Folder(0, 0775, 100)},
          {"/srv/tolvane", Folder()},
          {"/srv/tolvane/rebootdata.kx", File()}},
         "/etc/tolvane/rebootdata.kx",
         "/srv is writable by group 100"},
        {"a user's link",
         {{"/etc/tolvane", Link("/srv/tolvane", 1000)}},
         "/etc/tolvane/rebootdata.kx",
         "/etc/tolvane is a link owned by uid 1000, not root"},
        {"the file a link to a user's file",
         {{"/etc/tolvane/rebootdata.kx", Link("/home/ann/rebootdata.kx")}},
         "/etc/tolvane/rebootdata.kx",
         "/home/ann is owned by uid 1000, not root"},
        {"a link in a sticky folder",
         {{"/tmp/rebootdata.kx", Link("/etc/tolvane/rebootdata.kx")}},
         "/tmp/rebootdata.kx",
         "/tmp is writable by everyone"},
        {"a link to itself",
         {{"/etc/tolvane", Link("/etc/tolvane")}},
         "/etc/tolvane/rebootdata.kx",
         "/etc/tolvane cannot be examined: Too many levels of symbolic links"},
    });
}

TEST(PosixAdminOnly, MakesPathsAbsoluteAndPlain) {
    const struct {
        std::string path;
        std::string workingFolder;
        std::string why;
    } cases[] = {
        {"tolvane/rebootdata.kx", "/etc", ""},
        {"rebootdata.kx", "/home/ann", "/home/ann is owned by uid 1000, not root"},
        {"//etc//tolvane/./rebootdata.kx", "/", ""},
        {"/var/lib/tolvane/", "/", ""},
        // Every name walked is a real folder, so ".." is its parent.
        {"/home/ann/../../etc/tolvane/rebootdata.kx", "/", ""},
        {"../../../etc/tolvane/rebootdata.kx", "/home/ann", ""},
        {"/etc/tolvane/../../home/ann/rebootdata.kx", "/",
         "/home/ann is owned by uid 1000, not root"},
    };
    for (const auto& c : cases) {
        Tree tree{Machine(), {}, {}};
        PosixAdminOnlyCheck check(
            [&](const std::string& p, PathEntry& e) { return tree.LookUp(p, e); }, c.workingFolder);
        EXPECT_EQ(check.WhyOthersCanChange(c.path), c.why) << c.path << " in " << c.workingFolder;
    }
}

TEST(PosixAdminOnly, MissingIsLeftToTheReadWhereOnlyRootCouldMakeIt) {
    const struct {
        std::string path;
        std::string why;
    } cases[] = {
        {"/etc/tolvane/missing.kx", ""},
        {"/etc/missing/rebootdata.kx", ""},
        {"/home/ann/missing/rebootdata.kx", "/home/ann is owned by uid 1000, not root"},
        {"/tmp/missing", "/tmp is writable by everyone"},
        {"/etc/tolvane/rebootdata.kx/below", "/etc/tolvane/rebootdata.kx is not a folder"},
        {"", "an empty path names no file"},
    };
    for (const auto& c : cases) {
        Tree tree{Machine(), {}, {}};
        PosixAdminOnlyCheck check(
            [&](const std::string& p, PathEntry& e) { return tree.LookUp(p, e); });
        EXPECT_EQ(check.WhyOthersCanChange(c.path), c.why) << c.path;
    }
}

TEST(PosixAdminOnly, ANameItCannotExamineIsRefusedWithTheReason) {
    Tree tree{Machine(), {{"/etc/tolvane", EACCES}}, {}};
    PosixAdminOnlyCheck check(
        [&](const std::string& p, PathEntry& e) { return tree.LookUp(p, e); });
    EXPECT_EQ(check.WhyOthersCanChange("/etc/tolvane/rebootdata.kx"),
              "/etc/tolvane cannot be examined: Permission denied");
}

// The real file system, as the service sees it: a folder made here belongs to
// whoever runs the test, so what it says depends on that.
TEST(PosixAdminOnly, OnTheRealFileSystem) {
    char pattern[] = "/tmp/tolvane-admin-XXXXXX";
    ASSERT_NE(::mkdtemp(pattern), nullptr);
    const std::string folder = pattern;
    ASSERT_EQ(::chmod(folder.c_str(), 0755), 0);
    const std::string machine = folder + "/machine";
    ASSERT_EQ(::mkdir(machine.c_str(), 0755), 0);
    const std::string file = machine + "/rebootdata.kx";
    std::ofstream(file) << "12:00 AM Reboot\n";
    ASSERT_EQ(::chmod(file.c_str(), 0644), 0);
    const std::string link = machine + "/linked.kx";
    ASSERT_EQ(::symlink(file.c_str(), link.c_str()), 0);

    PosixAdminOnlyCheck check;
    EXPECT_EQ(check.WhyOthersCanChange("/"), "");
    struct stat tmp {};
    ASSERT_EQ(::stat("/tmp", &tmp), 0);
    const bool usualTmp = tmp.st_uid == 0 && (tmp.st_mode & S_ISVTX) != 0;
    if (::geteuid() == 0 && usualTmp) {
        EXPECT_EQ(check.WhyOthersCanChange(file), "");
        EXPECT_EQ(check.WhyOthersCanChange(link), "");
        EXPECT_EQ(check.WhyOthersCanChange(machine), "");
        ASSERT_EQ(::chmod(file.c_str(), 0664), 0);
        EXPECT_EQ(check.WhyOthersCanChange(link),
                  file + " is writable by group " + std::to_string(::getegid()));
    } else if (::geteuid() != 0) {
        const std::string mine = " is owned by uid " + std::to_string(::geteuid()) + ", not root";
        EXPECT_EQ(check.WhyOthersCanChange(file), folder + mine);
        EXPECT_EQ(check.WhyOthersCanChange(link), folder + mine);
    }
    std::filesystem::remove_all(folder);
}

}  // namespace
}  // namespace tolvane
