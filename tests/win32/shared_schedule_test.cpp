// The schedule shared by several processes under Wine: locks taken by one
// process as another sees them, whether the window's file functions or the
// service's walk take them, and writers racing on one real file. The other
// processes are this program started again with --child.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "platform/win32/win32_file_system.h"
#include "schedule/schedule_file.h"
#include "schedule/schedule_store.h"
#include "win32_test_support.h"

namespace tolvane::testing {
namespace {

// ---- The other processes ----

// Holds a lock until told to let go: --child hold PATH exclusive|shared READY RELEASE
int HoldLock(const std::vector<std::string>& args) {
    if (args.size() != 5) return 2;
    Win32FileSystem files;
    std::string reason;
    const auto kind = args[2] == "exclusive" ? LockKind::Exclusive : LockKind::Shared;
    auto lock = files.LockFile(args[1], kind, 0, reason);
    if (!lock) {
        std::fprintf(stderr, "no lock: %s\n", reason.c_str());
        return 3;
    }
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, args[3].c_str());
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, args[4].c_str());
    if (!ready || !release || !SetEvent(ready)) return 4;
    return Signalled(release) ? 0 : 5;
}

// Adds its own lines, one edit each, once told to start:
// --child add SCHEDULE window|service TAG COUNT START
int AddLines(const std::vector<std::string>& args) {
    if (args.size() != 6) return 2;
    const std::string& schedule = args[1];
    const std::string folder = schedule.substr(0, schedule.find_last_of('\\'));
    std::unique_ptr<FileSystem> files;
    if (args[2] == "service") {
        files = std::make_unique<ScratchServiceFileSystem>(folder);
    } else {
        files = std::make_unique<ScratchWin32FileSystem>(folder);
    }
    ScheduleStore store(*files, schedule, kWindowMaxScheduleBytes);
    HANDLE start = OpenEventA(SYNCHRONIZE, FALSE, args[5].c_str());
    if (!start || !Signalled(start)) return 4;
    const int count = std::stoi(args[4]);
    for (int i = 0; i < count; ++i) {
        const std::string line = args[3] + " line " + std::to_string(i);
        const auto changed =
            store.Edit([&](const std::string& found) -> std::optional<std::string> {
                return AddScheduleLine(found, line);
            });
        if (!changed) {
            std::fprintf(stderr, "edit %d failed: %s\n", i, changed.reason.c_str());
            return 1;
        }
    }
    return 0;
}

// ---- Helpers of the tests ----

std::string ThisProgram() {
    char path[MAX_PATH + 1] = {};
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    return path;
}

// A named event this process owns; children open it by its name.
class NamedEvent {
  public:
    NamedEvent() : name_(UniqueName("tolvane-test-event-")) {
        handle_ = CreateEventA(nullptr, TRUE, FALSE, name_.c_str());
        if (!handle_) ADD_FAILURE() << "no event: error " << GetLastError();
    }
    ~NamedEvent() {
        if (handle_) CloseHandle(handle_);
    }
    NamedEvent(const NamedEvent&) = delete;
    NamedEvent& operator=(const NamedEvent&) = delete;
    const std::string& Name() const { return name_; }
    HANDLE Handle() const { return handle_; }
    void Set() { SetEvent(handle_); }

  private:
    std::string name_;
    HANDLE handle_ = nullptr;
};

// This program started again in a child mode. Ended (by its own handle) if
// the test leaves it running.
class Child {
  public:
    explicit Child(const std::vector<std::string>& args) {
        std::string command = "\"" + ThisProgram() + "\" --child";
        for (const auto& arg : args) command += " \"" + arg + "\"";
        STARTUPINFOA startup{};
        startup.cb = sizeof startup;
        PROCESS_INFORMATION started{};
        if (!CreateProcessA(nullptr, command.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                            &startup, &started)) {
            ADD_FAILURE() << "no child: error " << GetLastError();
            return;
        }
        CloseHandle(started.hThread);
        process_ = started.hProcess;
    }
    ~Child() {
        if (!process_) return;
        if (WaitForSingleObject(process_, 0) != WAIT_OBJECT_0) {
            TerminateProcess(process_, 99);
            WaitForSingleObject(process_, kHangGuardMs);
        }
        CloseHandle(process_);
    }
    Child(const Child&) = delete;
    Child& operator=(const Child&) = delete;

    HANDLE Process() const { return process_; }
    // Its exit code once it has ended; -1 if it has not within the hang guard.
    long ExitCode() {
        if (!process_ || !Signalled(process_)) return -1;
        DWORD code = 0;
        GetExitCodeProcess(process_, &code);
        return static_cast<long>(code);
    }
    void Kill() {
        TerminateProcess(process_, 9);
        ASSERT_TRUE(Signalled(process_));
    }

  private:
    HANDLE process_ = nullptr;
};

// A lock held by a child, from when it said so until Release or its death.
class HeldElsewhere {
  public:
    HeldElsewhere(const std::string& path, LockKind kind)
        : child_({"hold", path, kind == LockKind::Exclusive ? "exclusive" : "shared", ready_.Name(),
                  release_.Name()}) {
        // Whichever comes first: the lock taken, or the child ended without it.
        HANDLE either[] = {ready_.Handle(), child_.Process()};
        const DWORD woke = WaitForMultipleObjects(2, either, FALSE, kHangGuardMs);
        held_ = woke == WAIT_OBJECT_0;
        if (!held_) ADD_FAILURE() << "the child took no lock: exit " << child_.ExitCode();
    }
    bool Held() const { return held_; }
    // Lets go and waits until the child has ended.
    void Release() {
        release_.Set();
        EXPECT_EQ(child_.ExitCode(), 0);
    }
    Child& Process() { return child_; }

  private:
    NamedEvent ready_;
    NamedEvent release_;
    Child child_;
    bool held_ = false;
};

class SharedScheduleTest : public ::testing::Test {
  protected:
    ~SharedScheduleTest() override { RemoveFolderTree(folder); }

    const std::string folder = MakeScratchFolder();
    const std::string schedule = folder + "\\rebootdata.kx";
    const std::string lock = schedule + ".lock";
};

// The window's file functions and the service's walk, each as this process
// would ask: they must honour each other's locks.
struct Asker {
    const char* name;
    std::function<std::unique_ptr<FileSystem>(const std::string& folder)> make;
};
const Asker kAskers[] = {
    {"window",
     [](const std::string& f) -> std::unique_ptr<FileSystem> {
         return std::make_unique<ScratchWin32FileSystem>(f);
     }},
    {"service",
     [](const std::string& f) -> std::unique_ptr<FileSystem> {
         return std::make_unique<ScratchServiceFileSystem>(f);
     }},
};

TEST_F(SharedScheduleTest, ALockHeldInAnotherProcessIsSeenAndKeepsOutWhatConflictsWithIt) {
    struct Case {
        LockKind held;
        LockKind asked;
        bool granted;
    };
    const Case cases[] = {
        {LockKind::Exclusive, LockKind::Exclusive, false},
        {LockKind::Exclusive, LockKind::Shared, false},
        {LockKind::Shared, LockKind::Exclusive, false},
        {LockKind::Shared, LockKind::Shared, true},
    };
    for (const auto& asker : kAskers) {
        auto files = asker.make(folder);
        for (const auto& c : cases) {
            SCOPED_TRACE(std::string(asker.name) +
                         (c.held == LockKind::Exclusive ? ": held exclusive" : ": held shared") +
                         (c.asked == LockKind::Exclusive ? ", asked exclusive" : ", asked shared"));
            EXPECT_FALSE(files->LockedElsewhere(lock));
            HeldElsewhere other(lock, c.held);
            ASSERT_TRUE(other.Held());
            EXPECT_TRUE(files->LockedElsewhere(lock));
            std::string reason;
            // The holder keeps it until told otherwise: no wait can see it go.
            auto mine = files->LockFile(lock, c.asked, 0.05, reason);
            EXPECT_EQ(mine != nullptr, c.granted) << reason;
            if (!c.granted) {
                EXPECT_NE(reason.find("Another program holds the lock"), std::string::npos)
                    << reason;
            }
            mine.reset();
            EXPECT_TRUE(files->LockedElsewhere(lock)) << "asking took the holder's lock away";
            other.Release();
            EXPECT_FALSE(files->LockedElsewhere(lock));
            auto after = files->LockFile(lock, LockKind::Exclusive, 0, reason);
            EXPECT_TRUE(after) << reason;
        }
    }
}

TEST_F(SharedScheduleTest, AKilledHoldersLockIsReleased) {
    for (const auto& asker : kAskers) {
        SCOPED_TRACE(asker.name);
        auto files = asker.make(folder);
        HeldElsewhere other(lock, LockKind::Exclusive);
        ASSERT_TRUE(other.Held());
        std::string reason;
        EXPECT_FALSE(files->LockFile(lock, LockKind::Exclusive, 0, reason));
        other.Process().Kill();
        // The system may release a dead process's locks a moment after its
        // end; a writer's usual wait covers that.
        auto mine = files->LockFile(lock, LockKind::Exclusive, kScheduleLockWaitSeconds, reason);
        EXPECT_TRUE(mine) << reason;
    }
}

TEST_F(SharedScheduleTest, WritersInTwoProcessesLoseNoLineAndTearNoWrite) {
    // The window's file functions in one, the service's walk in the other.
    const int perWriter = 1000;
    NamedEvent start;
    Child window({"add", schedule, "window", "window", std::to_string(perWriter), start.Name()});
    Child service({"add", schedule, "service", "service", std::to_string(perWriter), start.Name()});
    start.Set();
    EXPECT_EQ(window.ExitCode(), 0);
    EXPECT_EQ(service.ExitCode(), 0);

    std::vector<std::string> added;
    for (const char* tag : {"window", "service"}) {
        for (int i = 0; i < perWriter; ++i) {
            added.push_back(std::string(tag) + " line " + std::to_string(i));
        }
    }
    std::sort(added.begin(), added.end());
    const auto bytes = Win32FileSystem().ReadWholeFile(schedule);
    ASSERT_TRUE(bytes);
    const auto lines = ScheduleFileLines(*bytes);
    EXPECT_EQ(lines.size(), added.size());
    EXPECT_TRUE(lines == added) << "lines lost, doubled or torn";
    EXPECT_TRUE(*bytes == ScheduleFileBytes(added)) << "the file is not one whole write";
    // Nothing left behind by the writers but the schedule and its lock file.
    EXPECT_EQ(FolderNames(folder),
              (std::vector<std::string>{"rebootdata.kx", "rebootdata.kx.lock"}));
}

// ---- In this process alone ----

TEST_F(SharedScheduleTest, LocksInOneProcessExcludeEachOtherToo) {
    Win32FileSystem files;
    std::string reason;
    EXPECT_FALSE(files.LockedElsewhere(lock));
    EXPECT_TRUE(FolderNames(folder).empty()) << "asking made the lock file";
    auto first = files.LockFile(lock, LockKind::Exclusive, 0, reason);
    ASSERT_TRUE(first) << reason;
    EXPECT_EQ(FolderNames(folder), std::vector<std::string>{"rebootdata.kx.lock"});
    EXPECT_FALSE(files.LockFile(lock, LockKind::Exclusive, 0, reason));
    first.reset();
    EXPECT_TRUE(files.LockFile(lock, LockKind::Exclusive, 0, reason)) << reason;
}

TEST_F(SharedScheduleTest, AFolderInPlaceOfTheLockFileIsNeitherLockedNorTakenForALock) {
    ASSERT_TRUE(CreateDirectoryA(lock.c_str(), nullptr));
    Win32FileSystem files;
    std::string reason;
    EXPECT_FALSE(files.LockFile(lock, LockKind::Exclusive, 0, reason));
    EXPECT_FALSE(reason.empty());
    EXPECT_FALSE(files.LockedElsewhere(lock));
}

TEST_F(SharedScheduleTest, AReadSaysWhatItFound) {
    Win32FileSystem files;
    WriteWholeFile(schedule, "3:00 AM-Reboot-Repeat YES-Every Day\r\n");
    CreateDirectoryA((folder + "\\a folder").c_str(), nullptr);
    struct Case {
        std::string path;
        std::size_t maxBytes;
        FileRead::Outcome outcome;
        std::string bytes;
        bool reason;
    };
    const Case cases[] = {
        {schedule, 1000, FileRead::Outcome::Read, "3:00 AM-Reboot-Repeat YES-Every Day\r\n", false},
        {schedule, 37, FileRead::Outcome::Read, "3:00 AM-Reboot-Repeat YES-Every Day\r\n", false},
        {schedule, 36, FileRead::Outcome::TooLarge, "", false},
        {folder + "\\missing.kx", 1000, FileRead::Outcome::Missing, "", true},
        {folder + "\\no such folder\\rebootdata.kx", 1000, FileRead::Outcome::Missing, "", true},
        {folder + "\\a folder", 1000, FileRead::Outcome::Unreadable, "", true},
        {"\\\\.\\pipe\\tolvane-no-such-pipe", 1000, FileRead::Outcome::Missing, "", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.path + " up to " + std::to_string(c.maxBytes));
        const FileRead read = files.ReadFile(c.path, c.maxBytes);
        EXPECT_EQ(read.outcome, c.outcome);
        EXPECT_EQ(read.bytes, c.bytes);
        EXPECT_EQ(!read.reason.empty(), c.reason) << read.reason;
    }
}

// Wine makes no symbolic links (CreateSymbolicLink makes nothing), so only
// what is no link can be shown here: it is its own target.
TEST_F(SharedScheduleTest, WhatIsNoLinkIsItsOwnTarget) {
    WriteWholeFile(schedule, "x\r\n");
    Win32FileSystem files;
    for (const std::string& path :
         {schedule, folder + "\\missing.kx", folder, folder + "\\no such folder\\r.kx"}) {
        EXPECT_EQ(files.LinkTarget(path), path);
    }
}

// Reparse data as the system hands it out for a link: the header, then the
// substitute name and the print name, UTF-16, one after the other.
std::string ReparseData(DWORD tag, const std::wstring& substitute, const std::wstring& print,
                        DWORD flags) {
    const auto bytes = [](const std::wstring& text) {
        return std::string(reinterpret_cast<const char*>(text.data()),
                           text.size() * sizeof(wchar_t));
    };
    const std::string names = bytes(substitute) + bytes(print);
    const WORD header[] = {
        static_cast<WORD>(names.size() + 12),
        0,  // data length, reserved
        0,
        static_cast<WORD>(substitute.size() * 2),  // substitute name
        static_cast<WORD>(substitute.size() * 2),
        static_cast<WORD>(print.size() * 2),  // print
    };
    std::string data(reinterpret_cast<const char*>(&tag), sizeof tag);
    data.append(reinterpret_cast<const char*>(header), sizeof header);
    data.append(reinterpret_cast<const char*>(&flags), sizeof flags);
    return data + names;
}

TEST(SymbolicLinkTarget, ReadsTheLinksTargetInItsPlainForm) {
    struct Case {
        std::string name;
        std::string data;
        std::optional<std::string> target;
        bool relative = false;
    };
    const Case cases[] = {
        {"a full path",
         ReparseData(IO_REPARSE_TAG_SYMLINK, L"\\??\\D:\\Data\\rebootdata.kx",
                     L"D:\\Data\\rebootdata.kx", 0),
         "D:\\Data\\rebootdata.kx"},
        {"relative to the link's folder",
         ReparseData(IO_REPARSE_TAG_SYMLINK, L"..\\Data\\rebootdata.kx", L"..\\Data\\rebootdata.kx",
                     SYMLINK_FLAG_RELATIVE),
         "..\\Data\\rebootdata.kx", true},
        {"no print name", ReparseData(IO_REPARSE_TAG_SYMLINK, L"\\??\\D:\\Data\\r.kx", L"", 0),
         "D:\\Data\\r.kx"},
        {"a share, no print name",
         ReparseData(IO_REPARSE_TAG_SYMLINK, L"\\??\\UNC\\server\\share\\r.kx", L"", 0),
         "\\\\server\\share\\r.kx"},
        {"a junction", ReparseData(IO_REPARSE_TAG_MOUNT_POINT, L"\\??\\D:\\Data", L"D:\\Data", 0),
         std::nullopt},
        {"names past the data's end",
         ReparseData(IO_REPARSE_TAG_SYMLINK, L"\\??\\D:\\Data\\r.kx", L"D:\\Data\\r.kx", 0)
             .substr(0, 30),
         std::nullopt},
        {"no more than a tag", std::string("\x0c\x00\x00\xa0", 4), std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        bool relative = false;
        EXPECT_EQ(SymbolicLinkTarget(c.data, relative), c.target);
        EXPECT_EQ(relative, c.relative);
    }
}

}  // namespace
}  // namespace tolvane::testing

int main(int argc, char** argv) {
    if (argc >= 3 && std::string(argv[1]) == "--child") {
        const std::vector<std::string> args(argv + 2, argv + argc);
        if (args[0] == "hold") return tolvane::testing::HoldLock(args);
        if (args[0] == "add") return tolvane::testing::AddLines(args);
        return 2;
    }
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
