// The service's files through the real native requests: what Wine can put in
// the schedule's place (a second name, a folder, a huge file) is refused or
// judged as on Windows. Wine makes no junctions or symbolic links of its own
// (FSCTL_SET_REPARSE_POINT is not supported, CreateSymbolicLink makes
// nothing) and shows a Unix symbolic link as the folder or file it leads to,
// so links are tested with the fake nodes only.
#include <gtest/gtest.h>
#include <windows.h>

#include <functional>
#include <string>

#include "fakes/fake_clock.h"
#include "fakes/fake_system_power.h"
#include "platform/win32/win32_file_nodes.h"
#include "service/no_link_file_system.h"
#include "schedule/schedule_file.h"
#include "service/schedule_service.h"
#include "win32_test_support.h"

namespace tolvane::testing {
namespace {

class Win32FileNodesTest : public ::testing::Test {
  protected:
    std::string scratch = MakeScratchFolder();
    std::string folder = scratch + "\\Tolvane (schedule) & co";
    std::string secrets = scratch + "\\not the user's";
    std::string schedule = folder + "\\rebootdata.kx";
    FakeServiceLog log;
    ScratchServiceFileSystem files{folder, &log};

    Win32FileNodesTest() {
        CreateDirectoryA(folder.c_str(), nullptr);
        CreateDirectoryA(secrets.c_str(), nullptr);
    }
    ~Win32FileNodesTest() override { RemoveFolderTree(scratch); }

    static void Write(const std::string& path, const std::string& bytes) {
        WriteWholeFile(path, bytes);
    }
    static std::string Contents(const std::string& path) {
        return Win32FileSystem().ReadWholeFile(path).value_or("(missing)");
    }
    std::vector<std::string> Names() { return FolderNames(folder); }
    // 2001-01-01, in the file times' 100-nanosecond steps since 1601.
    static constexpr ULONGLONG kLongAgo = 126227808000000000ull;
    static void SetLastAccess(const std::string& path, ULONGLONG time) {
        HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
        const FILETIME at{static_cast<DWORD>(time), static_cast<DWORD>(time >> 32)};
        SetFileTime(file, nullptr, &at, nullptr);
        CloseHandle(file);
    }
    static ULONGLONG LastAccess(const std::string& path) {
        WIN32_FILE_ATTRIBUTE_DATA data{};
        GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data);
        // Whole seconds: that is what the Unix file system below keeps here.
        const ULONGLONG time =
            (static_cast<ULONGLONG>(data.ftLastAccessTime.dwHighDateTime) << 32) |
            data.ftLastAccessTime.dwLowDateTime;
        return time - time % 10000000ull;
    }
    static void MakeOld(const std::string& path) {
        HANDLE file = CreateFileA(path.c_str(), FILE_WRITE_ATTRIBUTES, FILE_SHARE_READ, nullptr,
                                  OPEN_EXISTING, 0, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE) << path;
        FILETIME now{};
        GetSystemTimeAsFileTime(&now);
        ULARGE_INTEGER time{{now.dwLowDateTime, now.dwHighDateTime}};
        time.QuadPart -= 3600ull * 10000000ull;
        const FILETIME anHourAgo{time.LowPart, time.HighPart};
        SetFileTime(file, nullptr, nullptr, &anHourAgo);
        CloseHandle(file);
    }
};

TEST_F(Win32FileNodesTest, ASecondNameInPlaceOfTheScheduleIsNeitherReadNorReplacedNorRemoved) {
    const std::string secret = secrets + "\\secret.dat";
    Write(secret, "3:00 AM-Reboot-Repeat YES-Every Day\r\n");
    ASSERT_TRUE(CreateHardLinkA(schedule.c_str(), secret.c_str(), nullptr));

    bool tooLarge = false;
    EXPECT_EQ(files.ReadFileUpTo(schedule, kServiceMaxScheduleBytes, tooLarge), std::nullopt);
    EXPECT_EQ(
        files.Refusal(schedule),
        "Refused: " + schedule + " has 2 names (hard links); only a file with one name is used");
    EXPECT_FALSE(ReplaceFileContents(files, schedule, "the service's\r\n"));
    EXPECT_FALSE(files.RemoveFile(schedule));
    EXPECT_EQ(Contents(secret), "3:00 AM-Reboot-Repeat YES-Every Day\r\n");
    EXPECT_EQ(Contents(schedule), Contents(secret));
    EXPECT_EQ(Names(), std::vector<std::string>{"rebootdata.kx"}) << "a temporary file was left";
    EXPECT_EQ(log.errors, std::vector<std::string>{files.Refusal(schedule)});
}

TEST_F(Win32FileNodesTest, AnOldTemporaryNameOnASecondNameIsLeftAlone) {
    const std::string secret = secrets + "\\secret.dat";
    Write(secret, "kept");
    MakeOld(secret);
    const std::string linked = folder + "\\rebootdata.kx.7-1.tmp";
    ASSERT_TRUE(CreateHardLinkA(linked.c_str(), secret.c_str(), nullptr));
    const std::string leftover = folder + "\\rebootdata.kx.7-2.tmp";
    Write(leftover, "left by a killed writer");
    MakeOld(leftover);

    EXPECT_EQ(files.StaleTemporaryFiles(folder, "rebootdata.kx.", kStaleTemporaryFileSeconds),
              std::vector<std::string>{leftover});
    ASSERT_TRUE(ReplaceFileContents(files, schedule, "new\r\n"));
    EXPECT_EQ(Names(), (std::vector<std::string>{"rebootdata.kx", "rebootdata.kx.7-1.tmp"}));
    EXPECT_EQ(Contents(secret), "kept");
    EXPECT_EQ(Contents(schedule), "new\r\n");
}

TEST_F(Win32FileNodesTest, AFolderInPlaceOfTheScheduleOrOnItsPath) {
    ASSERT_TRUE(CreateDirectoryA(schedule.c_str(), nullptr));
    EXPECT_EQ(files.Refusal(schedule), "Refused: " + schedule + " is not a regular file");
    EXPECT_EQ(files.ReadWholeFile(schedule), std::nullopt);
    EXPECT_FALSE(ReplaceFileContents(files, schedule, "x"));
    RemoveDirectoryA(schedule.c_str());

    // A file where a folder of the path should be: nothing there, no refusal.
    Write(folder + "\\sub", "a file");
    EXPECT_EQ(files.Refusal(folder + "\\sub\\rebootdata.kx"), "");
    EXPECT_FALSE(files.Exists(folder + "\\sub\\rebootdata.kx"));
    EXPECT_FALSE(files.Exists(schedule));
    Write(schedule, "");
    EXPECT_TRUE(files.Exists(schedule));
}

TEST_F(Win32FileNodesTest, TheSizeIsJudgedBeforeAByteIsRead) {
    struct Case {
        std::uint64_t size;
        bool read;
    };
    const Case cases[] = {
        {kServiceMaxScheduleBytes, true},
        {kServiceMaxScheduleBytes + 1, false},
        {8ull << 30, false},  // sparse: no room on the disk, and none in memory
    };
    // The file system must keep the last access for a read to show (Linux's
    // relatime does while it is older than the last change).
    Write(schedule, "x");
    SetLastAccess(schedule, kLongAgo);
    Contents(schedule);
    if (LastAccess(schedule) == kLongAgo) GTEST_SKIP() << "this file system keeps no access times";
    for (const auto& c : cases) {
        HANDLE file = CreateFileA(schedule.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                                  CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(file, INVALID_HANDLE_VALUE);
        DWORD ignored = 0;
        DeviceIoControl(file, FSCTL_SET_SPARSE, nullptr, 0, nullptr, 0, &ignored, nullptr);
        LARGE_INTEGER end;
        end.QuadPart = static_cast<LONGLONG>(c.size);
        ASSERT_TRUE(SetFilePointerEx(file, end, nullptr, FILE_BEGIN) && SetEndOfFile(file));
        CloseHandle(file);
        // A read of the file shows in its last access, which starts long ago.
        SetLastAccess(schedule, kLongAgo);
        bool tooLarge = false;
        const auto bytes = files.ReadFileUpTo(schedule, kServiceMaxScheduleBytes, tooLarge);
        EXPECT_EQ(bytes.has_value(), c.read) << c.size;
        EXPECT_EQ(tooLarge, !c.read) << c.size;
        if (bytes) {
            EXPECT_EQ(bytes->size(), c.size);
        }
        EXPECT_EQ(LastAccess(schedule) != kLongAgo, c.read)
            << c.size << (c.read ? ": not read" : ": bytes were read before the size was judged");
    }
}

// What the user can put in place of the lock file to have the service lock
// (and so hold up) a file of the system's.
TEST_F(Win32FileNodesTest, NoLockIsTakenOnASecondNameOrAFolderInPlaceOfTheLockFile) {
    const std::string lock = schedule + ".lock";
    const std::string secret = secrets + "\\secret.dat";
    Write(secret, "the system's");
    struct Case {
        std::string name;
        std::function<void()> plant;
        std::string refusal;
    };
    const Case cases[] = {
        {"a second name",
         [&] { ASSERT_TRUE(CreateHardLinkA(lock.c_str(), secret.c_str(), nullptr)); },
         "Refused: " + lock + " has 2 names (hard links); only a file with one name is used"},
        {"a folder", [&] { ASSERT_TRUE(CreateDirectoryA(lock.c_str(), nullptr)); },
         "Refused: " + lock + " is not a regular file"},
    };
    Win32FileSystem window;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        c.plant();
        std::string reason;
        EXPECT_FALSE(files.LockFile(lock, LockKind::Exclusive, 0, reason));
        EXPECT_EQ(reason, c.refusal);
        EXPECT_FALSE(files.LockFile(lock, LockKind::Shared, 0, reason));
        EXPECT_FALSE(window.LockedElsewhere(secret)) << "a lock was left on the system's file";
        {
            // Held elsewhere, the file behind the second name still does not
            // count for the service.
            auto held = window.LockFile(secret, LockKind::Exclusive, 0, reason);
            ASSERT_TRUE(held) << reason;
            EXPECT_FALSE(files.LockedElsewhere(lock));
        }
        EXPECT_EQ(log.errors.back(), c.refusal);
        if (!DeleteFileA(lock.c_str())) RemoveDirectoryA(lock.c_str());
    }
    EXPECT_EQ(Contents(secret), "the system's");
}

TEST_F(Win32FileNodesTest, TheServicesLockFileIsMadeAndItsLocksMeetTheWindows) {
    const std::string lock = schedule + ".lock";
    Win32FileSystem window;
    std::string reason;
    EXPECT_FALSE(files.LockedElsewhere(lock));
    EXPECT_TRUE(Names().empty()) << "asking made the lock file";
    {
        auto service = files.LockFile(lock, LockKind::Exclusive, 0, reason);
        ASSERT_TRUE(service) << reason;
        EXPECT_EQ(Names(), std::vector<std::string>{"rebootdata.kx.lock"});
        EXPECT_TRUE(window.LockedElsewhere(lock));
        EXPECT_FALSE(window.LockFile(lock, LockKind::Shared, 0, reason));
    }
    EXPECT_FALSE(window.LockedElsewhere(lock));
    auto first = window.LockFile(lock, LockKind::Shared, 0, reason);
    ASSERT_TRUE(first) << reason;
    EXPECT_TRUE(files.LockedElsewhere(lock));
    EXPECT_TRUE(files.LockFile(lock, LockKind::Shared, 0, reason)) << reason;
    EXPECT_FALSE(files.LockFile(lock, LockKind::Exclusive, 0, reason));
    EXPECT_TRUE(log.errors.empty());
}

// The service's tick on a schedule through a second name: the due line in it
// is not carried out.
TEST_F(Win32FileNodesTest, TheServiceCarriesOutNothingThroughASecondName) {
    const std::string other = secrets + "\\rebootdata.kx";
    Write(other, ScheduleFileBytes({"3:00 AM-Reboot-Repeat NO-Every Day"}));
    ASSERT_TRUE(CreateHardLinkA(schedule.c_str(), other.c_str(), nullptr));
    FakeClock clock;
    // Started at 2:59; every reading after that is 3:00.
    clock.onRead = [](FakeClock& c) {
        c.now = FakeClock::At(c.reads == 1 ? 2 : 3, c.reads == 1 ? 59 : 0);
    };
    FakeSystemPower power;
    ScheduleService service(files, schedule, clock, power, log);
    service.Tick();
    EXPECT_TRUE(power.requests.empty());
    EXPECT_EQ(Contents(other), ScheduleFileBytes({"3:00 AM-Reboot-Repeat NO-Every Day"}));
    // The walk's refusal, and the service's word that nothing is carried out.
    ASSERT_EQ(log.errors.size(), 2u);
    EXPECT_NE(log.errors[0].find("2 names"), std::string::npos) << log.errors[0];
    EXPECT_NE(log.errors[1].find("nothing in it is carried out"), std::string::npos)
        << log.errors[1];
}

}  // namespace
}  // namespace tolvane::testing
