// The real file system adapters of this platform against the rules every
// adapter must keep: bytes untouched, replacement in one step, no leftovers.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <vector>

#include "native_platform.h"
#include "schedule/schedule_file.h"

namespace tolvane {
namespace {

using testing::MakeScratchFolder;
using testing::NativeFileSystemMaker;

class FileSystemContract : public ::testing::TestWithParam<NativeFileSystemMaker> {
  protected:
    ~FileSystemContract() override {
        std::error_code ignored;
        std::filesystem::remove_all(folder, ignored);
    }

    std::string folder = MakeScratchFolder();
    std::unique_ptr<FileSystem> fs = GetParam().make(folder);
    std::string path = JoinPath(folder, fs->PathSeparator(), "rebootdata.kx");
};

INSTANTIATE_TEST_SUITE_P(Native, FileSystemContract,
                         ::testing::ValuesIn(testing::NativeFileSystemMakers()),
                         [](const auto& info) { return info.param.name; });

TEST_P(FileSystemContract, WritesAndReadsBytesExactlyWithoutTextModeTranslation) {
    const std::string bytes("A\r\nB\nC\rD\r\n\r\n\x1a\xff\0end", 18);
    ASSERT_TRUE(ReplaceFileContents(*fs, path, bytes));
    EXPECT_EQ(fs->ReadWholeFile(path), bytes);
}

TEST_P(FileSystemContract, ReplacesAnExistingFileWhole) {
    ASSERT_TRUE(ReplaceFileContents(*fs, path, std::string(100000, 'x')));
    ASSERT_TRUE(ReplaceFileContents(*fs, path, "\r\n"));
    EXPECT_EQ(fs->ReadWholeFile(path), "\r\n");
}

TEST_P(FileSystemContract, AMissingFileReadsAsNothing) {
    EXPECT_EQ(fs->ReadWholeFile(path), std::nullopt);
    ASSERT_TRUE(ReplaceFileContents(*fs, path, ""));
    EXPECT_EQ(fs->ReadWholeFile(path), "");
}

TEST_P(FileSystemContract, AFailedWriteKeepsTheOldFile) {
    ASSERT_TRUE(ReplaceFileContents(*fs, path, "old\r\n"));
    const std::string missing = JoinPath(folder, fs->PathSeparator(), "no such folder");
    const auto result = ReplaceFileContents(*fs, JoinPath(missing, fs->PathSeparator(), "f"), "x");
    EXPECT_FALSE(result);
    EXPECT_FALSE(result.reason.empty());
    EXPECT_EQ(fs->ReadWholeFile(path), "old\r\n");
}

TEST_P(FileSystemContract, TemporaryFilesGetDistinctNamesAndAreGoneAfterTheReplace) {
    std::string reason;
    const auto first = fs->WriteTemporaryFile(folder, "rebootdata.kx.", "1", reason);
    const auto second = fs->WriteTemporaryFile(folder, "rebootdata.kx.", "2", reason);
    ASSERT_TRUE(first && second);
    EXPECT_NE(*first, *second);
    EXPECT_TRUE(fs->MoveFileOver(*first, path, reason));
    EXPECT_EQ(fs->ReadWholeFile(*first), std::nullopt);
    EXPECT_TRUE(fs->RemoveFile(*second));
    EXPECT_FALSE(fs->RemoveFile(*second));
    EXPECT_EQ(fs->ReadWholeFile(path), "1");
}

TEST_P(FileSystemContract, AWriteRemovesTemporaryFilesLeftOverAMinuteAgoAndNothingElse) {
    const std::string prefix = "rebootdata.kx.";
    std::string reason;
    const auto leftover = fs->WriteTemporaryFile(folder, prefix, "a killed writer's", reason);
    const auto inProgress = fs->WriteTemporaryFile(folder, prefix, "another copy's", reason);
    const auto otherFiles = fs->WriteTemporaryFile(folder, "Tolvane 2.1.ini.", "settings", reason);
    ASSERT_TRUE(leftover && inProgress && otherFiles);
    // The user's own files beside the schedule, however alike their names.
    std::vector<std::string> kept = {*inProgress, *otherFiles};
    for (const char* name : {"rebootdata.kx.backup", "rebootdata.kx.bak", "rebootdata.kx.tmp",
                             "rebootdata.kx.old.tmp", "rebootdata.kx.1.tmp"}) {
        kept.push_back(JoinPath(folder, fs->PathSeparator(), name));
        ASSERT_TRUE(ReplaceFileContents(*fs, kept.back(), name));
    }
    const auto twoMinutesAgo =
        std::filesystem::file_time_type::clock::now() - std::chrono::minutes(2);
    for (const auto& old : {*leftover, *otherFiles}) {
        std::filesystem::last_write_time(old, twoMinutesAgo);
    }
    for (std::size_t i = 2; i < kept.size(); ++i) {
        std::filesystem::last_write_time(kept[i], twoMinutesAgo);
    }
    EXPECT_EQ(fs->StaleTemporaryFiles(folder, prefix, 60.0), std::vector<std::string>{*leftover});

    ASSERT_TRUE(ReplaceFileContents(*fs, path, "new"));
    EXPECT_EQ(fs->ReadWholeFile(*leftover), std::nullopt);
    for (const auto& file : kept) EXPECT_TRUE(fs->ReadWholeFile(file)) << file;
    EXPECT_EQ(fs->ReadWholeFile(path), "new");
    EXPECT_TRUE(fs->StaleTemporaryFiles(folder, prefix, 60.0).empty());
    EXPECT_EQ(fs->StaleTemporaryFiles(folder, prefix, 0.0), std::vector<std::string>{*inProgress});
}

TEST_P(FileSystemContract, TheScheduleFileRoundTripsThroughTheDisk) {
    ScheduleList list;
    struct NoEvents final : EventPump {
        void ProcessPendingEvents() override {}
        void WaitForEvents(double) override {}
    } pump;
    ScheduleFile file(list, *fs, pump);
    ASSERT_EQ(file.Path(), path);
    ASSERT_TRUE(file.AddLine("7:05 AM-ShutDown-Repeat YES-Monday"));
    ASSERT_TRUE(file.AddLine("10:30 PM-Force Reboot-Repeat NO-Every Day"));
    const auto bytes = fs->ReadWholeFile(path);
    ASSERT_TRUE(bytes);
    EXPECT_EQ(bytes->size(), 81u);
    EXPECT_EQ(bytes->substr(bytes->size() - 4), "\r\n\r\n");

    ScheduleList loaded;
    ScheduleFile reader(loaded, *fs, pump);
    reader.GetRebootData();
    EXPECT_EQ(loaded.Items(), list.Items());
}

TEST_P(FileSystemContract, ALockKeepsOutOnlyTheHoldersItMust) {
    const std::string lockPath = path + ".lock";
    std::string reason;
    EXPECT_FALSE(fs->LockedElsewhere(lockPath));
    EXPECT_FALSE(fs->ReadWholeFile(lockPath)) << "asking made no file";

    auto alone = fs->LockFile(lockPath, LockKind::Exclusive, 0.0, reason);
    ASSERT_TRUE(alone) << reason;
    EXPECT_TRUE(fs->LockedElsewhere(lockPath));
    for (const LockKind kind : {LockKind::Exclusive, LockKind::Shared}) {
        reason.clear();
        // No wait: a waiter given up may still get the lock for a moment.
        EXPECT_FALSE(fs->LockFile(lockPath, kind, 0.0, reason));
        EXPECT_FALSE(reason.empty());
    }
    alone.reset();
    EXPECT_FALSE(fs->LockedElsewhere(lockPath));

    auto first = fs->LockFile(lockPath, LockKind::Shared, 0.0, reason);
    auto second = fs->LockFile(lockPath, LockKind::Shared, 0.0, reason);
    EXPECT_TRUE(first && second) << reason;
    EXPECT_TRUE(fs->LockedElsewhere(lockPath));
    EXPECT_FALSE(fs->LockFile(lockPath, LockKind::Exclusive, 0.0, reason));
    first.reset();
    second.reset();
    EXPECT_TRUE(fs->LockFile(lockPath, LockKind::Exclusive, 0.0, reason)) << reason;
}

TEST_P(FileSystemContract, AReadSaysWhatStoodInTheWay) {
    EXPECT_EQ(fs->ReadFile(path, 10).outcome, FileRead::Outcome::Missing);
    ASSERT_TRUE(ReplaceFileContents(*fs, path, "0123456789"));
    const FileRead whole = fs->ReadFile(path, 10);
    EXPECT_EQ(whole.outcome, FileRead::Outcome::Read);
    EXPECT_EQ(whole.bytes, "0123456789");
    EXPECT_EQ(fs->ReadFile(path, 9).outcome, FileRead::Outcome::TooLarge);

    std::filesystem::create_directory(std::filesystem::path(folder) / "a folder");
    const FileRead folderRead =
        fs->ReadFile(JoinPath(folder, fs->PathSeparator(), "a folder"), 10);
    EXPECT_EQ(folderRead.outcome, FileRead::Outcome::Unreadable);
    EXPECT_FALSE(folderRead.reason.empty());
}

TEST(NativeClock, GivesAConsistentReading) {
    auto clock = testing::MakeNativeClock();
    const LocalTime t = clock->Now();
    EXPECT_GE(t.hour, 0);
    EXPECT_LE(t.hour, 23);
    EXPECT_GE(t.weekday, 0);
    EXPECT_LE(t.weekday, 6);
    EXPECT_GE(t.secondsSinceMidnight, t.hour * 3600.0 + t.minute * 60.0);
    EXPECT_LT(t.secondsSinceMidnight, t.hour * 3600.0 + t.minute * 60.0 + 60.0);
    const double a = clock->MonotonicSeconds();
    EXPECT_GE(clock->MonotonicSeconds(), a);
}

}  // namespace
}  // namespace tolvane
