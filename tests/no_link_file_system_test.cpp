// The Windows service's files: every path walked from its volume's root one
// name at a time, and no link or second name used, whatever stands where on
// the schedule's path and whenever it was put there.
#include "service/no_link_file_system.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>

#include "fakes/fake_clock.h"
#include "fakes/fake_file_nodes.h"
#include "fakes/fake_system_power.h"
#include "schedule/schedule_file.h"
#include "service/schedule_service.h"

namespace tolvane::testing {
namespace {

using Texts = std::vector<std::string>;

const std::string kFolder = "C:\\Users\\Ann\\AppData\\Local\\Programs\\Tolvane";
const std::string kSchedule = kFolder + "\\rebootdata.kx";
const std::string kOld = "ann's schedule\r\n";

// Everything below an entry, as text: kinds, names, counts and bytes.
std::string Dump(const std::shared_ptr<FakeEntry>& entry, const std::string& indent = "") {
    if (!entry) return indent + "(none)\n";
    std::string text = indent +
                       (entry->link     ? "link"
                        : entry->folder ? "folder"
                                        : "file") +
                       " names=" + std::to_string(entry->names) + " bytes=" + entry->bytes + "\n";
    for (const auto& [name, child] : entry->children) {
        text += indent + "  " + name + ":\n" + Dump(child, indent + "    ");
    }
    return text;
}

// What a link on the schedule's path could lead to: a folder of the system's
// that holds, under the same names, a file the system keeps and a file that
// looks like a temporary file left over a long time ago.
std::shared_ptr<FakeEntry> SystemFolderShapedLike(const std::vector<std::string>& names) {
    auto top = FakeFileNodes::Folder();
    auto folder = top;
    for (const auto& name : names) {
        auto& child = folder->children[name];
        child = FakeFileNodes::Folder();
        folder = child;
    }
    auto kept = std::make_shared<FakeEntry>();
    kept->bytes = "the system's own file";
    folder->children["rebootdata.kx"] = kept;
    auto old = std::make_shared<FakeEntry>();
    old->bytes = "the system's";
    old->ageSeconds = 3600;
    folder->children["rebootdata.kx.1-1.tmp"] = old;
    return top;
}

class NoLinkFileSystemTest : public ::testing::Test {
  protected:
    FakeFileNodes nodes;
    FakeServiceLog log;
    NoLinkFileSystem files{nodes, "C:\\Program Files\\Tolvane", kFolder, &log};

    NoLinkFileSystemTest() { nodes.MakeFile(kSchedule, kOld); }

    std::optional<std::string> Read() {
        bool tooLarge = false;
        return files.ReadFileUpTo(kSchedule, kServiceMaxScheduleBytes, tooLarge);
    }
    // Every request that takes a name: none may hold a separator.
    void ExpectOneNameAtATime() {
        for (const auto& call : nodes.calls) {
            if (call.rfind("OpenChild(", 0) != 0 && call.rfind("CreateChild(", 0) != 0) continue;
            const auto name = call.substr(call.find(", ") + 2);
            EXPECT_EQ(name.substr(0, name.find_first_of(",)")).find_first_of("\\/"),
                      std::string::npos)
                << call;
        }
    }
};

TEST_F(NoLinkFileSystemTest, AReadOpensOneNameAtATimeFromTheDrivesRootAndClosesEverything) {
    EXPECT_EQ(Read(), kOld);
    const Texts walk = {
        "OpenRoot(C:\\)",
        "Describe(C:\\)",
        "OpenChild(C:\\, Users, look)",
        "Close(C:\\)",
        "Describe(C:\\Users)",
        "OpenChild(C:\\Users, Ann, look)",
        "Close(C:\\Users)",
        "Describe(C:\\Users\\Ann)",
        "OpenChild(C:\\Users\\Ann, AppData, look)",
        "Close(C:\\Users\\Ann)",
        "Describe(C:\\Users\\Ann\\AppData)",
        "OpenChild(C:\\Users\\Ann\\AppData, Local, look)",
        "Close(C:\\Users\\Ann\\AppData)",
        "Describe(C:\\Users\\Ann\\AppData\\Local)",
        "OpenChild(C:\\Users\\Ann\\AppData\\Local, Programs, look)",
        "Close(C:\\Users\\Ann\\AppData\\Local)",
        "Describe(C:\\Users\\Ann\\AppData\\Local\\Programs)",
        "OpenChild(C:\\Users\\Ann\\AppData\\Local\\Programs, Tolvane, look)",
        "Close(C:\\Users\\Ann\\AppData\\Local\\Programs)",
        "Describe(C:\\Users\\Ann\\AppData\\Local\\Programs\\Tolvane)",
        "OpenChild(C:\\Users\\Ann\\AppData\\Local\\Programs\\Tolvane, rebootdata.kx, read)",
        "Describe(C:\\Users\\Ann\\AppData\\Local\\Programs\\Tolvane\\rebootdata.kx)",
        "Close(C:\\Users\\Ann\\AppData\\Local\\Programs\\Tolvane)",
        "Read(C:\\Users\\Ann\\AppData\\Local\\Programs\\Tolvane\\rebootdata.kx, 4194305)",
        "Close(C:\\Users\\Ann\\AppData\\Local\\Programs\\Tolvane\\rebootdata.kx)",
    };
    EXPECT_EQ(nodes.calls, walk);
    EXPECT_EQ(nodes.OpenCount(), 0u);
    EXPECT_TRUE(log.errors.empty());
}

TEST_F(NoLinkFileSystemTest, AReplacementWritesANewFileByNameAndMovesItInWithinTheCheckedFolder) {
    EXPECT_TRUE(ReplaceFileContents(files, kSchedule, "new\r\n"));
    EXPECT_EQ(Read(), "new\r\n");
    const auto folder = nodes.At(kFolder);
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->children.size(), 1u) << Dump(folder);
    EXPECT_EQ(nodes.At(kSchedule)->names, 1u);
    ExpectOneNameAtATime();
    // The new file was created by its own name only (it must not exist), then
    // renamed relative to an open folder.
    Texts changes;
    for (const auto& call : nodes.calls) {
        if (call.rfind("CreateChild", 0) == 0 || call.rfind("MoveInto", 0) == 0) {
            changes.push_back(call);
        }
    }
    EXPECT_EQ(changes, (Texts{"CreateChild(" + kFolder + ", rebootdata.kx.4242-1.tmp)",
                              "MoveInto(" + kFolder + "\\rebootdata.kx.4242-1.tmp, " + kFolder +
                                  ", rebootdata.kx)"}));
    EXPECT_EQ(nodes.OpenCount(), 0u);
}

// Each folder on the way, and the file itself, in turn replaced by a link
// into a system folder shaped like the rest of the path.
TEST_F(NoLinkFileSystemTest, ALinkAnywhereOnThePathIsRefusedAndNothingBehindItIsTouched) {
    const std::vector<std::string> names = {"Users", "Ann",      "AppData",
                                            "Local", "Programs", "Tolvane"};
    for (std::size_t at = 0; at <= names.size(); ++at) {
        FakeFileNodes disk;
        FakeServiceLog errors;
        NoLinkFileSystem walked(disk, "C:\\Program Files\\Tolvane", kFolder, &errors);
        disk.MakeFile(kSchedule, kOld);
        std::string linkPath = "C:";
        for (std::size_t i = 0; i < at && i < names.size(); ++i) linkPath += "\\" + names[i];
        std::shared_ptr<FakeEntry> target;
        if (at == names.size()) {
            linkPath += "\\rebootdata.kx";
            target = std::make_shared<FakeEntry>();
            target->bytes = "the system's own file";
        } else {
            linkPath += "\\" + names[at];
            target = SystemFolderShapedLike({names.begin() + at + 1, names.end()});
        }
        SCOPED_TRACE(linkPath);
        disk.Put(linkPath, FakeFileNodes::LinkTo(target));
        const std::string before = Dump(target);

        bool tooLarge = false;
        EXPECT_EQ(walked.ReadFileUpTo(kSchedule, kServiceMaxScheduleBytes, tooLarge), std::nullopt);
        EXPECT_FALSE(ReplaceFileContents(walked, kSchedule, "attacker's\r\n"));
        EXPECT_FALSE(walked.RemoveFile(kSchedule));
        EXPECT_TRUE(walked.StaleTemporaryFiles(kFolder, "rebootdata.kx.", 0).empty());
        EXPECT_EQ(Dump(target), before) << "something behind the link changed";

        const std::string refusal = walked.Refusal(kSchedule);
        EXPECT_NE(refusal.find(linkPath + " is a link"), std::string::npos) << refusal;
        ASSERT_FALSE(errors.errors.empty());
        EXPECT_EQ(errors.errors.front(), refusal);
        EXPECT_EQ(refusal.find('\n'), std::string::npos);
        EXPECT_EQ(disk.OpenCount(), 0u);
    }
}

// What a drive letter stands for is the system's to say; Wine shows the
// Unix root behind Z:\ as a mount point.
TEST_F(NoLinkFileSystemTest, TheRootIsWhereTheWalkStartsNotALinkOnTheWay) {
    nodes.roots.at("C:\\")->link = true;
    EXPECT_EQ(Read(), kOld);
    EXPECT_TRUE(ReplaceFileContents(files, kSchedule, "new\r\n"));
    EXPECT_EQ(Read(), "new\r\n");
    EXPECT_TRUE(log.errors.empty());
}

TEST_F(NoLinkFileSystemTest, AFileWithASecondNameIsNeitherReadNorRemoved) {
    // The schedule's name given to a file that also stands in a folder its
    // user cannot read.
    auto secret = nodes.MakeFile("C:\\Windows\\secret.dat", "not for users");
    secret->names = 2;
    nodes.Put(kSchedule, secret);

    EXPECT_EQ(Read(), std::nullopt);
    EXPECT_FALSE(files.RemoveFile(kSchedule));
    EXPECT_EQ(
        files.Refusal(kSchedule),
        "Refused: " + kSchedule + " has 2 names (hard links); only a file with one name is used");
    EXPECT_EQ(log.errors, Texts{files.Refusal(kSchedule)});
    EXPECT_FALSE(ReplaceFileContents(files, kSchedule, "new\r\n"));
    EXPECT_EQ(nodes.At(kSchedule), secret);
    EXPECT_EQ(nodes.At("C:\\Windows\\secret.dat"), secret);
    EXPECT_EQ(secret->bytes, "not for users");
    EXPECT_EQ(secret->names, 2u);
    EXPECT_EQ(nodes.At(kFolder)->children.size(), 1u) << "a temporary file was left";
}

TEST_F(NoLinkFileSystemTest, OnlyPlainOldTemporaryFilesAreOfferedAndRemoved) {
    auto systemFile = nodes.MakeFile("C:\\Windows\\System32\\config.dat", "the system's", 3600);
    nodes.Put(kFolder + "\\rebootdata.kx.7-1.tmp", FakeFileNodes::LinkTo(systemFile));
    auto twoNames = nodes.MakeFile("C:\\Windows\\System32\\other.dat", "the system's too", 3600);
    twoNames->names = 2;
    nodes.Put(kFolder + "\\rebootdata.kx.7-2.tmp", twoNames);
    auto folderNamedLikeOne = FakeFileNodes::Folder();
    folderNamedLikeOne->ageSeconds = 3600;
    nodes.Put(kFolder + "\\rebootdata.kx.7-3.tmp", folderNamedLikeOne);
    nodes.MakeFile(kFolder + "\\rebootdata.kx.7-4.tmp", "left by a killed writer", 3600);
    nodes.MakeFile(kFolder + "\\rebootdata.kx.7-5.tmp", "being written now", 1);
    nodes.MakeFile(kFolder + "\\rebootdata.kx.backup", "the user's", 3600);

    EXPECT_EQ(files.StaleTemporaryFiles(kFolder, "rebootdata.kx.", kStaleTemporaryFileSeconds),
              Texts{kFolder + "\\rebootdata.kx.7-4.tmp"});
    ASSERT_TRUE(ReplaceFileContents(files, kSchedule, "new\r\n"));
    Texts left;
    for (const auto& [name, entry] : nodes.At(kFolder)->children) left.push_back(name);
    EXPECT_EQ(left,
              (Texts{"rebootdata.kx", "rebootdata.kx.7-1.tmp", "rebootdata.kx.7-2.tmp",
                     "rebootdata.kx.7-3.tmp", "rebootdata.kx.7-5.tmp", "rebootdata.kx.backup"}));
    EXPECT_EQ(systemFile->bytes, "the system's");
    EXPECT_EQ(twoNames->names, 2u);
    EXPECT_EQ(nodes.OpenCount(), 0u);
}

// The user renames the checked folder away and puts a link in its place
// while the service is between two steps.
TEST_F(NoLinkFileSystemTest, AFolderSwappedForALinkAfterItWasOpenedLeadsNowhere) {
    auto system = SystemFolderShapedLike({});
    const std::string before = Dump(system);
    const auto original = nodes.At(kFolder);
    bool swapped = false;
    nodes.beforeCall = [&](const std::string& call) {
        if (swapped || call.rfind("CreateChild(", 0) != 0) return;
        swapped = true;
        nodes.Put(kFolder, FakeFileNodes::LinkTo(system));
        nodes.Put(kFolder + " (moved)", original);
    };
    EXPECT_FALSE(ReplaceFileContents(files, kSchedule, "attacker's\r\n"));
    EXPECT_TRUE(swapped);
    EXPECT_EQ(Dump(system), before);
    // The new file went to the folder that was checked, wherever it now is.
    EXPECT_EQ(original->children.count("rebootdata.kx.4242-1.tmp"), 1u) << Dump(original);
    EXPECT_EQ(original->children.at("rebootdata.kx")->bytes, kOld);
}

TEST_F(NoLinkFileSystemTest, AFolderOrNothingInPlaceOfTheFile) {
    nodes.Put(kSchedule, FakeFileNodes::Folder());
    EXPECT_EQ(Read(), std::nullopt);
    EXPECT_EQ(files.Refusal(kSchedule), "Refused: " + kSchedule + " is not a regular file");
    EXPECT_TRUE(files.Exists(kSchedule));

    nodes.At(kFolder)->children.clear();
    EXPECT_EQ(Read(), std::nullopt);
    EXPECT_EQ(files.Refusal(kSchedule), "");
    EXPECT_FALSE(files.Exists(kSchedule));
    // Nor is a missing folder on the way a refusal.
    nodes.At("C:\\Users\\Ann")->children.clear();
    EXPECT_EQ(files.Refusal(kSchedule), "");
    EXPECT_FALSE(files.Exists(kSchedule));
    EXPECT_EQ(log.errors, Texts{"Refused: " + kSchedule + " is not a regular file"});
}

TEST_F(NoLinkFileSystemTest, TheSizeIsJudgedBeforeAnyByteIsRead) {
    struct Case {
        std::uint64_t shownSize;
        std::size_t bytes;
        bool read;
    };
    const std::size_t max = 1000;
    const Case cases[] = {
        {max, max, true},
        {max + 1, max + 1, false},
        {8ull << 30, 10, false},  // a sparse file of 8 GiB: no byte of it is read
        {max, max + 1, false},    // grew after its size was read
    };
    for (const auto& c : cases) {
        const auto file = nodes.MakeFile(kSchedule, std::string(c.bytes, 'x'));
        file->shownSize = c.shownSize;
        nodes.calls.clear();
        bool tooLarge = false;
        const auto bytes = files.ReadFileUpTo(kSchedule, max, tooLarge);
        EXPECT_EQ(bytes.has_value(), c.read) << c.shownSize;
        EXPECT_EQ(tooLarge, !c.read) << c.shownSize;
        const bool readAtAll = std::any_of(nodes.calls.begin(), nodes.calls.end(),
                                           [](auto& call) { return call.rfind("Read(", 0) == 0; });
        EXPECT_EQ(readAtAll, c.shownSize <= max) << c.shownSize;
    }
}

TEST_F(NoLinkFileSystemTest, ARefusalIsLoggedOnceWhileItLastsAndAgainWhenItComesBack) {
    const auto folder = nodes.At(kFolder);
    const auto link = FakeFileNodes::LinkTo(SystemFolderShapedLike({}));
    nodes.Put(kFolder, link);
    Read();
    Read();
    ReplaceFileContents(files, kSchedule, "x");
    EXPECT_EQ(log.errors.size(), 1u);
    nodes.Put(kFolder, folder);
    EXPECT_EQ(Read(), kOld);
    nodes.Put(kFolder, link);
    Read();
    ASSERT_EQ(log.errors.size(), 2u);
    EXPECT_EQ(log.errors[0], log.errors[1]);
}

// The service on top: a due line in the file a link leads to is not run.
TEST_F(NoLinkFileSystemTest, TheServiceCarriesOutNothingBehindALink) {
    auto system = SystemFolderShapedLike({});
    system->children["rebootdata.kx"]->bytes =
        ScheduleFileBytes({"3:00 AM-Force Reboot-Repeat NO-Every Day"});
    nodes.Put(kFolder, FakeFileNodes::LinkTo(system));
    const std::string before = Dump(system);
    FakeClock clock;
    clock.now = FakeClock::At(2, 59);
    FakeSystemPower power;
    ScheduleService service(files, kSchedule, clock, power, log);
    clock.now = FakeClock::At(3, 0, 1);
    service.Tick();
    service.Tick();
    EXPECT_TRUE(power.requests.empty());
    EXPECT_EQ(Dump(system), before);
    // The walk's refusal, and the service's word that nothing is carried
    // out, each once over both ticks.
    ASSERT_EQ(log.errors.size(), 2u);
    EXPECT_NE(log.errors[0].find(kFolder + " is a link"), std::string::npos) << log.errors[0];
    EXPECT_NE(log.errors[1].find("nothing in it is carried out"), std::string::npos)
        << log.errors[1];
}

// ---- Locks beside the schedule ----

const std::string kLock = kSchedule + ".lock";

bool AnyLockRequest(const Texts& calls) {
    return std::any_of(calls.begin(), calls.end(),
                       [](const std::string& call) { return call.rfind("Lock", 0) == 0; });
}

TEST_F(NoLinkFileSystemTest, ALockFileIsMadeInTheCheckedFolderAndLocksAsOtherProcessesSeeThem) {
    std::string reason;
    EXPECT_FALSE(files.LockedElsewhere(kLock));
    EXPECT_EQ(nodes.At(kLock), nullptr) << "asking made the file";

    auto exclusive = files.LockFile(kLock, LockKind::Exclusive, 0, reason);
    ASSERT_TRUE(exclusive) << reason;
    const auto made = nodes.At(kLock);
    ASSERT_TRUE(made);
    EXPECT_FALSE(made->folder);
    EXPECT_EQ(made->bytes, "");
    EXPECT_TRUE(files.LockedElsewhere(kLock));
    EXPECT_FALSE(files.LockFile(kLock, LockKind::Exclusive, 0, reason));
    EXPECT_EQ(reason, "Another program holds the lock " + kLock + ".");
    EXPECT_FALSE(files.LockFile(kLock, LockKind::Shared, 0, reason));
    exclusive.reset();
    EXPECT_FALSE(made->exclusiveLock);
    EXPECT_FALSE(files.LockedElsewhere(kLock));

    auto first = files.LockFile(kLock, LockKind::Shared, 0, reason);
    auto second = files.LockFile(kLock, LockKind::Shared, 0, reason);
    EXPECT_TRUE(first && second) << reason;
    EXPECT_EQ(made->sharedLocks, 2);
    EXPECT_TRUE(files.LockedElsewhere(kLock));
    EXPECT_FALSE(files.LockFile(kLock, LockKind::Exclusive, 0, reason));
    EXPECT_EQ(made->sharedLocks, 2) << "asking left a lock behind";
    first.reset();
    second.reset();
    EXPECT_EQ(made->sharedLocks, 0);
    EXPECT_EQ(nodes.OpenCount(), 0u);
    EXPECT_TRUE(log.errors.empty());
    ExpectOneNameAtATime();
}

TEST_F(NoLinkFileSystemTest, ALockHeldByAnotherProcessIsSeenAndNotBroken) {
    auto elsewhere = nodes.MakeFile(kLock, "");
    elsewhere->sharedLocks = 1;  // a window
    EXPECT_TRUE(files.LockedElsewhere(kLock));
    std::string reason;
    EXPECT_TRUE(files.LockFile(kLock, LockKind::Shared, 0, reason)) << reason;
    EXPECT_FALSE(files.LockFile(kLock, LockKind::Exclusive, 0, reason));
    EXPECT_EQ(elsewhere->sharedLocks, 1);
}

// What the user can put in the lock file's place, or on its way, to have
// the service lock (and so hold up) a file of the system's, or make one.
TEST_F(NoLinkFileSystemTest, NoLockIsTakenThroughALinkASecondNameOrAFolder) {
    struct Case {
        std::string name;
        std::function<std::shared_ptr<FakeEntry>(FakeFileNodes&)>
            plant;  // what is locked if followed
        std::string refusal;
    };
    const Case cases[] = {
        {"a link in the lock file's place",
         [](FakeFileNodes& disk) {
             auto system = disk.MakeFile("C:\\Windows\\System32\\config\\SAM", "the system's");
             disk.Put(kLock, FakeFileNodes::LinkTo(system));
             return system;
         },
         kLock + " is a link"},
        {"a second name of a file of the system's",
         [](FakeFileNodes& disk) {
             auto system = disk.MakeFile("C:\\Windows\\System32\\config\\SAM", "the system's");
             system->names = 2;
             disk.Put(kLock, system);
             return system;
         },
         kLock + " has 2 names"},
        {"a folder in the lock file's place",
         [](FakeFileNodes& disk) {
             auto folder = FakeFileNodes::Folder();
             disk.Put(kLock, folder);
             return folder;
         },
         kLock + " is not a regular file"},
        {"the schedule's folder a link to a folder of the system's",
         [](FakeFileNodes& disk) {
             auto system = SystemFolderShapedLike({});
             auto lock = std::make_shared<FakeEntry>();
             system->children["rebootdata.kx.lock"] = lock;
             disk.Put(kFolder, FakeFileNodes::LinkTo(system));
             return lock;
         },
         kFolder + " is a link"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        FakeFileNodes disk;
        FakeServiceLog errors;
        NoLinkFileSystem walked(disk, "C:\\Program Files\\Tolvane", kFolder, &errors);
        disk.MakeFile(kSchedule, kOld);
        const auto target = c.plant(disk);

        std::string reason;
        EXPECT_FALSE(walked.LockFile(kLock, LockKind::Exclusive, 10, reason));
        EXPECT_NE(reason.find("Refused: " + c.refusal), std::string::npos) << reason;
        EXPECT_FALSE(walked.LockFile(kLock, LockKind::Shared, 10, reason));
        // Held elsewhere, the file behind still does not count.
        target->exclusiveLock = true;
        EXPECT_FALSE(walked.LockedElsewhere(kLock));
        target->exclusiveLock = false;

        EXPECT_FALSE(AnyLockRequest(disk.calls)) << "a lock was asked for before the refusal";
        EXPECT_EQ(target->sharedLocks, 0);
        EXPECT_EQ(disk.OpenCount(), 0u);
        ASSERT_FALSE(errors.errors.empty());
        EXPECT_EQ(errors.errors.front(), reason);
    }
}

// The user renames the checked folder away and puts a link in its place
// just before the lock file is made.
TEST_F(NoLinkFileSystemTest, ALockFileIsMadeInTheFolderThatWasCheckedWhateverTookItsName) {
    auto system = SystemFolderShapedLike({});
    const std::string before = Dump(system);
    const auto original = nodes.At(kFolder);
    bool swapped = false;
    nodes.beforeCall = [&](const std::string& call) {
        if (swapped || call.rfind("OpenOrCreateChild(", 0) != 0) return;
        swapped = true;
        nodes.Put(kFolder, FakeFileNodes::LinkTo(system));
        nodes.Put(kFolder + " (moved)", original);
    };
    std::string reason;
    auto lock = files.LockFile(kLock, LockKind::Exclusive, 0, reason);
    EXPECT_TRUE(swapped);
    ASSERT_TRUE(lock) << reason;
    EXPECT_EQ(Dump(system), before);
    ASSERT_EQ(original->children.count("rebootdata.kx.lock"), 1u) << Dump(original);
    EXPECT_TRUE(original->children.at("rebootdata.kx.lock")->exclusiveLock);
}

TEST_F(NoLinkFileSystemTest, NoFolderIsMadeForALockFile) {
    nodes.At("C:\\Users\\Ann\\AppData\\Local\\Programs")->children.clear();
    std::string reason;
    EXPECT_FALSE(files.LockFile(kLock, LockKind::Exclusive, 0, reason));
    EXPECT_NE(reason.find("does not exist"), std::string::npos) << reason;
    EXPECT_TRUE(nodes.At("C:\\Users\\Ann\\AppData\\Local\\Programs")->children.empty());
    EXPECT_FALSE(files.LockedElsewhere(kLock));
    EXPECT_TRUE(log.errors.empty());
}

TEST(SplitWalkPath, TakesOnlyFullPathsOfPlainNames) {
    struct Case {
        std::string path;
        std::string root;  // empty: refused
        Texts names = {};
    };
    const Case cases[] = {
        {"C:\\Users\\A B\\rebootdata.kx", "C:\\", {"Users", "A B", "rebootdata.kx"}},
        {"d:/x (1) & y/r.kx", "d:\\", {"x (1) & y", "r.kx"}},
        {"C:\\", "C:\\", {}},
        {"\\\\server\\share\\Tolvane\\r.kx", "\\\\server\\share\\", {"Tolvane", "r.kx"}},
        {"\\\\server\\share", "\\\\server\\share\\", {}},
        {"\\\\server\\share\\", "\\\\server\\share\\", {}},
        {"rebootdata.kx", ""},
        {"\\Tolvane\\r.kx", ""},
        {"C:r.kx", ""},
        {"\\\\?\\C:\\Tolvane\\r.kx", ""},
        {"\\\\.\\pipe\\tolvane", ""},
        {"\\\\?\\GLOBALROOT\\Device\\HarddiskVolume1\\r.kx", ""},
        {"\\\\server", ""},
        {"\\\\server\\", ""},
        {"C:\\Tolvane\\..\\Windows\\r.kx", ""},
        {"C:\\Tolvane\\.\\r.kx", ""},
        {"C:\\Tolvane\\\\r.kx", ""},
        {"C:\\Tolvane\\", ""},
        {"C:\\Tolvane\\r.kx:hidden", ""},
        {"C:\\Tolvane\\r.kx::$DATA", ""},
        {"C:\\Tolvane.\\r.kx", ""},
        {"C:\\Tolvane \\r.kx", ""},
        {"C:\\Tol*ane\\r.kx", ""},
        {"C:\\Tol?ane\\r.kx", ""},
        {"C:\\Tolvane\\r\x01.kx", ""},
        {"C:\\Tolvane\\\"r\".kx", ""},
    };
    for (const auto& c : cases) {
        std::string reason;
        const auto walk = SplitWalkPath(c.path, reason);
        ASSERT_EQ(walk.has_value(), !c.root.empty()) << c.path << ": " << reason;
        if (!walk) {
            EXPECT_FALSE(reason.empty()) << c.path;
            continue;
        }
        EXPECT_EQ(walk->root, c.root) << c.path;
        EXPECT_EQ(walk->names, c.names) << c.path;
    }
}

TEST(NumberedTemporaryName, IsMadeAndRecognisedAlike) {
    EXPECT_EQ(NumberedTemporaryName("rebootdata.kx.", 4242, 7), "rebootdata.kx.4242-7.tmp");
    EXPECT_TRUE(IsNumberedTemporaryName(NumberedTemporaryName("a.", 1, 2), "a."));
    for (const char* other : {"rebootdata.kx.tmp", "rebootdata.kx.1.tmp", "rebootdata.kx.-1.tmp",
                              "rebootdata.kx.1-.tmp", "rebootdata.kx.1-2.tmp.bak",
                              "rebootdata.kx.a-2.tmp", "other.1-2.tmp", "rebootdata.kx.backup"}) {
        EXPECT_FALSE(IsNumberedTemporaryName(other, "rebootdata.kx.")) << other;
    }
}

}  // namespace
}  // namespace tolvane::testing
